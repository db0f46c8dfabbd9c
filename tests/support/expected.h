#pragma once

// What the tests of every tier expect of a run, made once from the product's own names,
// constants and templates: a change of the version, of a log text or of a registry value is an
// edit of the product and of at most this file.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelko::testing {

// The fake's user: the folders Windows gives in LOCALAPPDATA and APPDATA.
inline constexpr std::string_view kFakeLocalAppData = "C:\\Users\\a\\AppData\\Local";
inline constexpr std::string_view kFakeAppData = "C:\\Users\\a\\AppData\\Roaming";

// The install directory of a LOCALAPPDATA folder, as text (the fake's when none is given).
std::string install_dir_of(std::string_view local_app_data = kFakeLocalAppData);
// A file of the app in an install directory (the fake's when none is given).
std::string app_exe_of(std::string_view install_dir = install_dir_of());
std::string guard_exe_of(std::string_view install_dir = install_dir_of());

// The log lines of a run (their messages, without time and process id).
std::string start_line(bool update_mode);
std::string success_line(std::string_view install_dir);
std::string asking_line(std::string_view quit_target);
std::string failed_line(std::string_view failure);
std::string entry_not_written_line();
std::string shortcut_not_written_line(std::string_view reason);
// The failure of a start of the app that Windows refused: "Pelko not started: {OS error text}".
std::string not_started_failure(std::string_view os_error_text);
// A run that installed everything and started the app: the start line, the request to quit
// when a copy was asked, the success line.
std::vector<std::string> expected_run_log(bool update_mode, std::string_view install_dir,
                                          std::optional<std::string_view> asked = std::nullopt);
// A run that failed: the start line and the failure.
std::vector<std::string> expected_failed_log(bool update_mode, std::string_view failure);
// The text of the failure box.
std::string failure_box(std::string_view failure);

// One value under the uninstall key: its name, type and bytes as the registry keeps them.
struct ExpectedValue {
    std::string name;
    std::uint32_t type = 0;
    std::string data;
    friend bool operator==(const ExpectedValue&, const ExpectedValue&) = default;
};
// REG_SZ bytes (UTF-16LE, the terminating NUL counted) and REG_DWORD bytes (little-endian).
std::string reg_sz(std::string_view utf8);
std::string reg_dword(std::uint32_t value);
// The nine values a run writes for an install directory (text) and a payload total, by name.
std::vector<ExpectedValue> expected_uninstall_values(std::string_view install_dir,
                                                     std::uint64_t payload_total);

}  // namespace pelko::testing
