#include "platform/windows/win32_error.h"

namespace pelko::win {

OsError win32_error(DWORD code) { return os_error_of(static_cast<std::uint32_t>(code)); }

}  // namespace pelko::win
