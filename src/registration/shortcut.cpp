#include "registration/shortcut.h"

#include "platform/path.h"

namespace pelko {
namespace {

constexpr std::string_view kProgramsSubdirectory = "Microsoft\\Windows\\Start Menu\\Programs";

bool failed(HResult result) { return result < 0; }

// Creates the link, sets its properties and saves it; the first failed HRESULT, else 0. What
// was obtained is left in `link` and `file` for the caller to release.
HResult write_link(Platform& os, ComObject& link, ComObject& file, std::string_view shortcut_path,
                   std::string_view target, std::string_view icon) {
    HResult result = os.create_shell_link(link);
    if (!failed(result) && !link) result = kPointerError;
    if (failed(result)) return result;

    if (result = os.shell_link_set_path(link, target); failed(result)) return result;
    if (const std::optional<OsString> parent = windows_parent(OsString::from_utf8(target))) {
        result = os.shell_link_set_working_directory(link, parent->to_text());
        if (failed(result)) return result;
    }
    if (result = os.shell_link_set_icon_location(link, icon, 0); failed(result)) return result;
    result = os.shell_link_set_description(link, kShortcutDescription);
    if (failed(result)) return result;

    result = os.query_persist_file(link, file);
    if (!failed(result) && !file) result = kPointerError;
    if (failed(result)) return result;

    return os.persist_file_save(file, shortcut_path, true);
}

}  // namespace

std::optional<OsString> start_menu_programs_dir(Platform& os) {
    const std::optional<OsString> app_data = os.environment_variable("APPDATA");
    if (!app_data) return std::nullopt;
    return path_join(*app_data, kProgramsSubdirectory);
}

std::expected<void, ShortcutError> create_shortcut(Platform& os, std::string_view shortcut_path,
                                                   std::string_view target,
                                                   std::string_view icon) {
    // A failed initialisation (another apartment model already) is not reported here; it only
    // decides whether the scope is closed at the end.
    const HResult init = os.com_initialize();

    ComObject link;
    ComObject file;
    const HResult result = write_link(os, link, file, shortcut_path, target, icon);

    // Taken at once, before any release could replace the thread's error information.
    const ComObject error_info = failed(result) ? os.take_error_info() : ComObject{};
    if (file) os.com_release(file);
    if (link) os.com_release(link);
    if (!failed(init)) os.com_uninitialize();

    if (failed(result)) return std::unexpected(ShortcutError(os, result, error_info));
    return {};
}

}  // namespace pelko
