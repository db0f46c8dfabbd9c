#pragma once

#include "payload/embedded_payload.h"
#include "platform/platform.h"

namespace pelko {

// The whole run, from the command line to the exit code, around the payload the executable
// carries. Returns 0 for a completed run or when another setup is running; a failed step ends the
// process through report_failure (exit code 1).
int run_setup(Platform& os, const EmbeddedPayload& payload);

}  // namespace pelko
