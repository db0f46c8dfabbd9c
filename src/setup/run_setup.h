#pragma once

#include "payload/unpack/embedded_payload.h"
#include "platform/platform.h"

namespace pelko {

// The whole run, from the command line to the exit code, around the payload the executable
// carries: 0 for a completed run or when another setup is running, report_failure's (1) after a
// failed step. The entry point ends the process with it. Only memory that runs out where no
// caller can be told ends the process from inside the run (see Platform::on_memory_exhausted).
int run_setup(Platform& os, const EmbeddedPayload& payload);

}  // namespace pelko
