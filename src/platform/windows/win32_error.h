#pragma once

#include <windows.h>

#include <expected>

#include "platform/os_error.h"

namespace pelko::win {

// The platform's error for a Win32 error code, through the one table of kinds (os_error_of).
OsError win32_error(DWORD code);

// The calling thread's last error, as a failed result.
inline std::unexpected<OsError> last_error() {
    return std::unexpected(win32_error(GetLastError()));
}

}  // namespace pelko::win
