#pragma once

#include <string_view>

#include "platform/os_string.h"
#include "platform/platform.h"
#include "shared/setup_failure.h"

namespace pelko {

inline constexpr std::string_view kDidNotQuitText = "Pelko did not quit";
inline constexpr std::string_view kStillRunningText =
    "Pelko is still running. Right click the bar > Quit Pelko, then run the setup again.";

// Makes every running copy of the app and its guard end before files are replaced: asks a
// running "pelko.exe" to quit once (see locate_quit_target and request_quit), then waits up to
// 20 s for "pelko.exe" and "pelko-guard.exe" to be gone. Fails only when copies remain, with
// "Pelko did not quit" in update mode and the still-running text otherwise.
StepResult<void> stop_running_instances(Platform& os, const OsString& install_dir,
                                        bool update_mode);

}  // namespace pelko
