#include "readback.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <ostream>

#include <objbase.h>
#include <shlobj.h>

#include "reference/inflate_payload.h"
#include "payload/container/read_payload.h"
#include "test_paths.h"

namespace pelko::test {

std::optional<ShortcutProperties> read_shortcut(const std::wstring& path) {
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::optional<ShortcutProperties> found;
    IShellLinkW* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            if (SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
                std::wstring buffer(4096, L'\0');
                const int n = static_cast<int>(buffer.size());
                ShortcutProperties p;
                if (SUCCEEDED(link->GetPath(buffer.data(), n, nullptr, SLGP_RAWPATH))) {
                    p.target = buffer.c_str();
                }
                if (SUCCEEDED(link->GetWorkingDirectory(buffer.data(), n))) {
                    p.working_directory = buffer.c_str();
                }
                if (SUCCEEDED(link->GetIconLocation(buffer.data(), n, &p.icon_index))) {
                    p.icon = buffer.c_str();
                }
                if (SUCCEEDED(link->GetDescription(buffer.data(), n))) p.description = buffer.c_str();
                found = p;
            }
            file->Release();
        }
        link->Release();
    }
    if (SUCCEEDED(init)) CoUninitialize();
    return found;
}

std::optional<RegistryValue> read_registry_value(const std::wstring& subkey,
                                                 const std::wstring& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, subkey.c_str(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    // Not RegGetValueW, which may add a NUL to a text that was stored without one.
    RegistryValue value;
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(key, name.c_str(), nullptr, &value.type, nullptr, &size);
    if (status == ERROR_SUCCESS) {
        value.data.resize(size);
        status = RegQueryValueExW(key, name.c_str(), nullptr, &value.type, value.data.data(),
                                  &size);
        value.data.resize(size);
    }
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return std::nullopt;
    return value;
}

std::vector<testing::ExpectedValue> read_uninstall_values() {
    std::vector<testing::ExpectedValue> values;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kUninstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return values;
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD name_length = static_cast<DWORD>(std::size(name));
        DWORD type = 0;
        BYTE data[4096];
        DWORD size = sizeof data;
        if (RegEnumValueW(key, i, name, &name_length, nullptr, &type, data, &size) !=
            ERROR_SUCCESS) {
            break;
        }
        values.push_back({narrow(std::wstring_view(name, name_length)), type,
                          std::string(reinterpret_cast<const char*>(data), size)});
    }
    RegCloseKey(key);
    std::ranges::sort(values, {}, &testing::ExpectedValue::name);
    return values;
}

RegistryValue text_value(std::wstring_view text) {
    const auto* bytes = reinterpret_cast<const BYTE*>(text.data());
    RegistryValue value{REG_SZ, std::vector<BYTE>(bytes, bytes + 2 * text.size())};
    value.data.resize(value.data.size() + 2, 0);
    return value;
}

RegistryValue dword_value(DWORD number) {
    const auto* bytes = reinterpret_cast<const BYTE*>(&number);
    return RegistryValue{REG_DWORD, std::vector<BYTE>(bytes, bytes + 4)};
}

void PrintTo(const RegistryValue& value, std::ostream* out) {
    if (value.type == REG_DWORD && value.data.size() == 4) {
        DWORD number = 0;
        std::memcpy(&number, value.data.data(), 4);
        *out << "REG_DWORD " << number;
    } else {
        *out << "type " << value.type << " \""
             << narrow(std::wstring_view(reinterpret_cast<const wchar_t*>(value.data.data()),
                                         value.data.size() / 2))
             << "\" (" << value.data.size() << " bytes)";
    }
}

std::vector<PayloadEntry> demo_entries() {
    const std::string stored = read_file(build_path("payload/payload.bin"));
    const auto container = inflate_payload(std::as_bytes(std::span(stored)));
    if (!container) return {};
    auto entries = read_payload(*container);
    if (!entries) return {};
    return std::vector<PayloadEntry>(entries->begin(), entries->end());
}

}  // namespace pelko::test
