#pragma once

#include <expected>
#include <optional>
#include <string_view>

#include "platform/os_string.h"
#include "platform/platform.h"
#include "platform/shell_link.h"

namespace pelko {

inline constexpr std::string_view kShortcutFileName = "Pelko.lnk";
inline constexpr std::string_view kShortcutDescription = "Pelko, Windows UI customizer";

// The user's Start Menu programs folder: APPDATA joined with
// "Microsoft\Windows\Start Menu\Programs"; nothing when APPDATA is not set. Nothing is created.
std::optional<OsString> start_menu_programs_dir(Platform& os);

// Writes a Shell link at `shortcut_path` that starts `target` in the target's parent folder
// (left unset when the target has no parent) and shows the first icon of `icon`, with the
// product description (Platform::save_shell_link). The failure's text is the log line's.
std::expected<void, ShortcutError> create_shortcut(Platform& os, std::string_view shortcut_path,
                                                   std::string_view target,
                                                   std::string_view icon);

}  // namespace pelko
