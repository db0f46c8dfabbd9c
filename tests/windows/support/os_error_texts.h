#pragma once

#include <windows.h>

#include <string>

#include "test_paths.h"

namespace pelko::test {

// The installer's wording of an OS error, made here from the system's own message: the message
// without its trailing line break, then " (os error {code})".
inline std::string os_error_text_of(DWORD code) {
    wchar_t buffer[2048];
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             code, 0, buffer, 2048, nullptr);
    while (n > 0 && (buffer[n - 1] == L'\r' || buffer[n - 1] == L'\n' || buffer[n - 1] == L' ' ||
                     buffer[n - 1] == L'\t')) {
        --n;
    }
    return narrow(std::wstring_view(buffer, n)) + " (os error " + std::to_string(code) + ")";
}

}  // namespace pelko::test
