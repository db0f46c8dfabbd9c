#include "platform/windows/windows_platform.h"

#include <windows.h>

#include "platform/windows/wide.h"
#include "platform/windows/win32_error.h"

namespace pelko::win {

OsResult<void> WindowsPlatform::set_registry_value(std::string_view subkey, std::string_view name,
                                                   std::uint32_t type,
                                                   std::span<const std::byte> data) {
    // The names are built in; a NUL would cut them short, and the byte count is 32 bits.
    if (subkey.find('\0') != std::string_view::npos || name.find('\0') != std::string_view::npos) {
        return std::unexpected(OsError::nul());
    }
    if (data.size() > 0xFFFFFFFFu) return std::unexpected(win32_error(ERROR_INVALID_PARAMETER));
    const std::wstring wide_subkey = to_wide(subkey);
    const std::wstring wide_name = to_wide(name);
    // Opens (creating when missing) and closes the key itself.
    const LSTATUS status =
        RegSetKeyValueW(HKEY_CURRENT_USER, wide_subkey.c_str(), wide_name.c_str(), type,
                        data.data(), static_cast<DWORD>(data.size()));
    if (status != ERROR_SUCCESS) return std::unexpected(win32_error(static_cast<DWORD>(status)));
    return {};
}

}  // namespace pelko::win
