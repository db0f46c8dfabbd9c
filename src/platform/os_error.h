#pragma once

#include <cstdint>
#include <expected>
#include <string_view>

namespace pelko {

// Text of the one failure that is made before any OS call: a string holding a NUL.
inline constexpr std::string_view kNulInStringText = "strings passed to WinAPI cannot contain NULs";

// What a failure means to the steps that decide on it. The Win32 layer sets it once, from the
// system's code; everything above it decides on the kind alone.
enum class OsErrorKind {
    not_found,       // the file, its folder, the drive or the share is not there
    already_exists,  // a file or folder of that name is there
    access_denied,
    link,            // a link stands at the path, and the operation does not follow links
    nul_in_string,   // refused before any call: a string holding a NUL
    other,
};

// A failed platform operation: its kind and the system's code, which is only worded when a step
// words the failure (os_error_text).
struct OsError {
    OsErrorKind kind = OsErrorKind::other;
    std::uint32_t code = 0;

    static OsError nul() { return OsError{OsErrorKind::nul_in_string, 0}; }
    friend bool operator==(const OsError&, const OsError&) = default;
};

template <class T>
using OsResult = std::expected<T, OsError>;

// The error of a Win32 error code, its kind from the one table of codes the steps decide on
// (not found: 2, 3, 15, 53, 67; already exists: 80, 183; access denied: 5; a link not
// followed: 681, ERROR_STOPPED_ON_SYMLINK; every other code: other). The Win32 layer makes its errors with it, and so does the fake of the tests.
OsError os_error_of(std::uint32_t code);

}  // namespace pelko
