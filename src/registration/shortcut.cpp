#include "registration/shortcut.h"

#include "platform/path.h"

namespace pelko {
namespace {

constexpr std::string_view kProgramsSubdirectory = "Microsoft\\Windows\\Start Menu\\Programs";

}  // namespace

std::optional<OsString> start_menu_programs_dir(Platform& os) {
    const std::optional<OsString> app_data = os.environment_variable("APPDATA");
    if (!app_data) return std::nullopt;
    return path_join(*app_data, kProgramsSubdirectory);
}

std::expected<void, ShortcutError> create_shortcut(Platform& os, std::string_view shortcut_path,
                                                   std::string_view target,
                                                   std::string_view icon) {
    ShellLink link;
    link.file = shortcut_path;
    link.target = target;
    if (const std::optional<OsString> parent = windows_parent(OsString::from_utf8(target))) {
        link.working_directory = parent->to_text();
    }
    link.icon = icon;
    link.icon_index = 0;
    link.description = kShortcutDescription;
    return os.save_shell_link(link);
}

}  // namespace pelko
