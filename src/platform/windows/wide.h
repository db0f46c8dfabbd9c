#pragma once

#include <string>
#include <string_view>

#include "platform/os_error.h"
#include "platform/os_string.h"

namespace pelko::win {

// UTF-16 as Win32 takes it (wchar_t is 16 bits on Windows).
std::wstring to_wide(const OsString& s);
std::wstring to_wide(std::string_view utf8_text);
OsString from_wide(std::wstring_view units);
std::string wide_to_text(std::wstring_view units);

// The string for a Win32 call, refused when it holds a NUL.
OsResult<std::wstring> to_wide_checked(const OsString& s);

// The path for a Win32 file call: refused when it holds a NUL; a relative path, or one of 248
// UTF-16 units or more, not already in the \\?\ form, is made absolute (GetFullPathNameW) and
// given the \\?\ prefix (\\?\UNC\ for a network path).
OsResult<std::wstring> file_path(const OsString& path);

}  // namespace pelko::win
