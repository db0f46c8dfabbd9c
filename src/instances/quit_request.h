#pragma once

#include <string_view>

#include "platform/os_string.h"
#include "platform/platform.h"

namespace pelko {

inline constexpr std::string_view kAskingToQuitLine = "asking {} to quit";

// Logs "asking {target} to quit", then runs the target with the command line
// "\"{target}\" --quit" and waits, without limit, until that process has ended. Every failure
// (the program cannot be started or waited for) is ignored.
void request_quit(Platform& os, const OsString& target);

}  // namespace pelko
