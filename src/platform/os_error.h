#pragma once

#include <cstdint>
#include <expected>
#include <string_view>

namespace pelko {

// Text of the one failure that is made before any OS call: a string holding a NUL.
inline constexpr std::string_view kNulInStringText = "strings passed to WinAPI cannot contain NULs";

// A failed platform operation: an OS error code, or a string that could not be passed to the OS
// because it holds a NUL. Codes travel unworded; the step that fails words them.
struct OsError {
    std::uint32_t code = 0;
    bool nul_in_string = false;

    static OsError from_code(std::uint32_t c) { return OsError{c, false}; }
    static OsError nul() { return OsError{0, true}; }
    friend bool operator==(const OsError&, const OsError&) = default;
};

template <class T>
using OsResult = std::expected<T, OsError>;

}  // namespace pelko
