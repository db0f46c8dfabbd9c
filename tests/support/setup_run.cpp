#include "setup_run.h"

#include "setup/run_setup.h"

namespace pelko::testing {

int run_setup_to_exit(Platform& os, const EmbeddedPayload& payload) {
    try {
        return run_setup(os, payload);
    } catch (const ProcessExit& exit) {
        return static_cast<int>(exit.code);
    }
}

}  // namespace pelko::testing
