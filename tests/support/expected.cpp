#include "expected.h"

#include <algorithm>

#include "instances/quit_request.h"
#include "platform/os_string.h"
#include "platform/path.h"
#include "platform/text_format.h"
#include "registration/uninstall_entry.h"
#include "setup/failure_report.h"
#include "setup/run_texts.h"
#include "shared/product.h"

namespace pelko::testing {

std::string install_dir_of(std::string_view local_app_data) {
    return path_join(OsString::from_utf8(local_app_data), kInstallSubdirectory).to_text();
}

std::string app_exe_of(std::string_view install_dir) {
    return path_join(OsString::from_utf8(install_dir), kAppExecutableName).to_text();
}

std::string guard_exe_of(std::string_view install_dir) {
    return path_join(OsString::from_utf8(install_dir), kGuardExecutableName).to_text();
}

std::string start_line(bool update_mode) {
    return format_text(kStartLine, kProductVersion, update_mode);
}

std::string success_line(std::string_view install_dir) {
    return format_text(kSuccessLine, kProductVersion, install_dir);
}

std::string asking_line(std::string_view quit_target) {
    return format_text(kAskingToQuitLine, quit_target);
}

std::string failed_line(std::string_view failure) { return format_text(kFailedLine, failure); }

std::string entry_not_written_line() { return std::string(kEntryNotWrittenLine); }

std::string shortcut_not_written_line(std::string_view reason) {
    return format_text(kShortcutNotWrittenLine, reason);
}

std::string not_started_failure(std::string_view os_error_text) {
    return format_text(kNotStartedText, os_error_text);
}

std::vector<std::string> expected_run_log(bool update_mode, std::string_view install_dir,
                                          std::optional<std::string_view> asked) {
    std::vector<std::string> lines{start_line(update_mode)};
    if (asked) lines.push_back(asking_line(*asked));
    lines.push_back(success_line(install_dir));
    return lines;
}

std::vector<std::string> expected_failed_log(bool update_mode, std::string_view failure) {
    return {start_line(update_mode), failed_line(failure)};
}

std::string failure_box(std::string_view failure) { return format_text(kFailureMessage, failure); }

std::string reg_sz(std::string_view utf8) {
    std::string data;
    for (const char16_t unit : utf8_to_utf16(utf8)) {
        data += static_cast<char>(unit & 0xFF);
        data += static_cast<char>(unit >> 8);
    }
    return data + std::string(2, '\0');
}

std::string reg_dword(std::uint32_t value) {
    std::string data;
    for (int i = 0; i < 4; ++i) data += static_cast<char>((value >> (8 * i)) & 0xFF);
    return data;
}

std::vector<ExpectedValue> expected_uninstall_values(std::string_view install_dir,
                                                     std::uint64_t payload_total) {
    const std::string guard = guard_exe_of(install_dir);
    std::vector<ExpectedValue> values{
        {"DisplayName", kRegSz, reg_sz(kDisplayName)},
        {"DisplayVersion", kRegSz, reg_sz(kProductVersion)},
        {"Publisher", kRegSz, reg_sz(kPublisher)},
        {"InstallLocation", kRegSz, reg_sz(install_dir)},
        {"DisplayIcon", kRegSz, reg_sz(app_exe_of(install_dir))},
        {"UninstallString", kRegSz, reg_sz("\"" + guard + "\" --uninstall")},
        {"EstimatedSize", kRegDword, reg_dword(static_cast<std::uint32_t>(payload_total >> 10))},
        {"NoModify", kRegDword, reg_dword(1)},
        {"NoRepair", kRegDword, reg_dword(1)},
    };
    std::ranges::sort(values, {}, &ExpectedValue::name);
    return values;
}

}  // namespace pelko::testing
