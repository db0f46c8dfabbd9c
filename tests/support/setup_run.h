#pragma once

#include <cstdint>

#include "payload/embedded_payload.h"
#include "platform/platform.h"

namespace pelko::testing {

// Thrown by the exit_process of the tests' platforms, so that a test sees how a run ended and
// may run again.
struct ProcessExit {
    std::uint32_t code;
};

// Runs the whole installer sequence on the platform; the exit code, whether the run returned it
// or ended the process.
int run_setup_to_exit(Platform& os, const EmbeddedPayload& payload);

}  // namespace pelko::testing
