#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace pelko {

// Where Windows looks for the per-user entry of an installed app (under HKEY_CURRENT_USER).
inline constexpr std::string_view kUninstallSubkey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pelko";
inline constexpr std::string_view kDisplayName = "Pelko";
inline constexpr std::string_view kPublisher = "Daskove";

// Registry value types as Windows numbers them.
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegDword = 4;

// The values of the installed-apps entry. The texts are borrowed UTF-8; nothing is owned.
struct UninstallEntry {
    std::string_view display_name;
    std::string_view display_version;
    std::string_view publisher;
    std::string_view install_location;
    std::string_view display_icon;       // the app executable, no icon index
    std::string_view uninstall_command;  // see uninstall_command()
    std::uint32_t estimated_size = 0;    // KiB
};

// "\"{guard}\" --uninstall": the guard executable in double quotes, a blank, then the switch.
std::string uninstall_command(std::string_view guard_executable_text);

// The size in KiB that Windows shows: the byte total shifted right by 10, low 32 bits.
std::uint32_t estimated_size_kib(std::uint64_t payload_total);

// Writes the nine values of the entry, in order, under HKEY_CURRENT_USER\kUninstallSubkey:
// six REG_SZ (UTF-16LE with its terminating NUL counted) and three REG_DWORD (little-endian).
// Every write is attempted even after one fails; true only when all nine succeeded.
bool write_uninstall_entry(Platform& os, const UninstallEntry& entry);

}  // namespace pelko
