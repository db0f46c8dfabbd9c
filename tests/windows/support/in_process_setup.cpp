#include "in_process_setup.h"

#include "setup/run_setup.h"

namespace pelko::test {

int run_setup_in_process(InProcessPlatform& os, const std::vector<std::byte>& stored_payload) {
    try {
        return run_setup(os, {stored_payload});
    } catch (const InProcessPlatform::Exit& exit) {
        return static_cast<int>(exit.code);
    }
}

}  // namespace pelko::test
