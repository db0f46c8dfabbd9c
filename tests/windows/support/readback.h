#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "payload/payload_entry.h"

namespace pelko::test {

// What the Shell's own loader reads back from a saved .lnk file.
struct ShortcutProperties {
    std::wstring target, working_directory, icon, description;
    int icon_index = -1;
};
std::optional<ShortcutProperties> read_shortcut(const std::wstring& path);

// The installer's uninstall key under HKEY_CURRENT_USER, and its values as stored.
inline constexpr wchar_t kUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pelko";
struct RegistryValue {
    DWORD type = 0;
    std::vector<BYTE> data;
};
std::optional<RegistryValue> read_uninstall_value(const wchar_t* name);
// A REG_SZ value without its terminating NUL; a REG_DWORD value.
std::optional<std::wstring> uninstall_text(const wchar_t* name);
std::optional<DWORD> uninstall_number(const wchar_t* name);

// The demo payload as the build packed it, read back: the names and bytes a run installs.
std::vector<PayloadEntry> demo_entries();

}  // namespace pelko::test
