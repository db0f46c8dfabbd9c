#pragma once

#include <string_view>

namespace pelko {

// The texts the run sequence itself words: its log lines and the failures of its own steps
// ({} filled in order, by format_text).
inline constexpr std::string_view kStartLine = "setup v{}, update: {}";  // version, update mode
inline constexpr std::string_view kAnotherSetupLine = "another setup is running";
inline constexpr std::string_view kNoLocalAppDataText = "no LOCALAPPDATA";
inline constexpr std::string_view kEntryNotWrittenLine = "installed apps entry not written";
inline constexpr std::string_view kShortcutNotWrittenLine = "shortcut not written: {}";
inline constexpr std::string_view kSuccessLine = "v{} installed in {}";  // version, install dir
inline constexpr std::string_view kNotStartedText = "Pelko not started: {}";  // the OS error text

}  // namespace pelko
