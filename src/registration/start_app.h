#pragma once

#include "platform/os_error.h"
#include "platform/os_string.h"
#include "platform/platform.h"

namespace pelko {

// Starts the installed guard executable by its exact path, with the quoted path alone as its
// command line (no arguments), inheriting this process's directory and environment, and does
// not wait for it. The OS error when it cannot be started.
OsResult<void> start_installed_app(Platform& os, const OsString& guard_executable);

}  // namespace pelko
