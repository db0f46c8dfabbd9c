#include "instances/stop_running_instances.h"

#include "instances/instance_wait.h"
#include "instances/quit_request.h"
#include "instances/quit_target.h"

namespace pelko {

StepResult<void> stop_running_instances(Platform& os, const OsString& install_dir,
                                        bool update_mode) {
    if (const QuitTarget target = locate_quit_target(os, install_dir)) request_quit(os, *target);
    if (wait_for_instances_to_end(os)) return {};
    return fail(std::string(update_mode ? kDidNotQuitText : kStillRunningText));
}

}  // namespace pelko
