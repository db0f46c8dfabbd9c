#pragma once

#include <optional>
#include <span>

#include "platform/os_string.h"
#include "platform/platform.h"

namespace pelko {

// The executable to run with --quit; absent when no "pelko.exe" runs.
using QuitTarget = std::optional<OsString>;

// Chooses the quit target among the processes of a snapshot the caller has just taken. The
// running "pelko.exe" processes are walked in snapshot order up to
// the first whose command line can be read; the program path of that command line is the target
// when something exists at that path (following links; relative to the current directory).
// Otherwise, when no command line is readable or its program does not exist, the target is the
// install directory's "pelko.exe". Never fails and writes no log line.
QuitTarget locate_quit_target(Platform& os, const OsString& install_dir,
                              std::span<const ProcessRecord> snapshot);

}  // namespace pelko
