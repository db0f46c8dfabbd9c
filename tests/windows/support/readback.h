#pragma once

#include <windows.h>

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "expected.h"
#include "payload/container/payload_entry.h"

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
    friend bool operator==(const RegistryValue&, const RegistryValue&) = default;
};
// A value under a key of HKEY_CURRENT_USER, its bytes as stored; nothing when it is not there.
std::optional<RegistryValue> read_registry_value(const std::wstring& subkey,
                                                 const std::wstring& name);
// Every value under the key, sorted by name, as the expectations give them (empty when there is
// no key).
std::vector<testing::ExpectedValue> read_uninstall_values();
// The value a text is stored as (REG_SZ: UTF-16LE, its terminating NUL counted), and a number
// (REG_DWORD).
RegistryValue text_value(std::wstring_view text);
RegistryValue dword_value(DWORD number);
// Shown in failures as its type and its text or number.
void PrintTo(const RegistryValue& value, std::ostream* out);

// The demo payload as the build packed it, read back: the names and bytes a run installs.
std::vector<PayloadEntry> demo_entries();

}  // namespace pelko::test
