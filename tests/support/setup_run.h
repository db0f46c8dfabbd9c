#pragma once

#include <cstdint>

#include "payload/unpack/embedded_payload.h"
#include "platform/platform.h"

namespace pelko::testing {

// Thrown by the fake's exit_process, which only the run's memory action calls (code built with
// exceptions only: the native core), so that a test sees how a run ended and may run again.
struct ProcessExit {
    std::uint32_t code;
};

// Runs the whole installer sequence on the platform; the exit code, whether the run returned it
// or (on the fake, when memory ran out) ended the process.
int run_setup_to_exit(Platform& os, const EmbeddedPayload& payload);

}  // namespace pelko::testing
