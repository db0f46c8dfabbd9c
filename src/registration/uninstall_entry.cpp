#include "registration/uninstall_entry.h"

#include <array>
#include <vector>

#include "platform/os_string.h"

namespace pelko {
namespace {

// UTF-16LE units followed by one NUL unit: 2 x (units + 1) bytes.
std::vector<std::byte> reg_sz_data(std::string_view text) {
    const std::u16string units = utf8_to_utf16(text);
    std::vector<std::byte> data;
    data.reserve(2 * (units.size() + 1));
    for (const char16_t unit : units) {
        data.push_back(static_cast<std::byte>(unit & 0xFF));
        data.push_back(static_cast<std::byte>(unit >> 8));
    }
    data.push_back(std::byte{0});
    data.push_back(std::byte{0});
    return data;
}

std::array<std::byte, 4> reg_dword_data(std::uint32_t value) {
    return {static_cast<std::byte>(value & 0xFF), static_cast<std::byte>((value >> 8) & 0xFF),
            static_cast<std::byte>((value >> 16) & 0xFF), static_cast<std::byte>(value >> 24)};
}

bool write_text(Platform& os, std::string_view name, std::string_view text) {
    const std::vector<std::byte> data = reg_sz_data(text);
    return os.set_registry_value(kUninstallSubkey, name, kRegSz, data).has_value();
}

bool write_number(Platform& os, std::string_view name, std::uint32_t value) {
    const std::array<std::byte, 4> data = reg_dword_data(value);
    return os.set_registry_value(kUninstallSubkey, name, kRegDword, data).has_value();
}

}  // namespace

std::string uninstall_command(std::string_view guard_executable_text) {
    std::string command;
    command.reserve(guard_executable_text.size() + 14);
    command += '"';
    command += guard_executable_text;
    command += "\" --uninstall";
    return command;
}

std::uint32_t estimated_size_kib(std::uint64_t payload_total) {
    return static_cast<std::uint32_t>(payload_total >> 10);
}

bool write_uninstall_entry(Platform& os, const UninstallEntry& entry) {
    // Non-short-circuit: each write is made whatever the earlier ones gave.
    bool all = true;
    all &= write_text(os, "DisplayName", entry.display_name);
    all &= write_text(os, "DisplayVersion", entry.display_version);
    all &= write_text(os, "Publisher", entry.publisher);
    all &= write_text(os, "InstallLocation", entry.install_location);
    all &= write_text(os, "DisplayIcon", entry.display_icon);
    all &= write_text(os, "UninstallString", entry.uninstall_command);
    all &= write_number(os, "EstimatedSize", entry.estimated_size);
    all &= write_number(os, "NoModify", 1);
    all &= write_number(os, "NoRepair", 1);
    return all;
}

}  // namespace pelko
