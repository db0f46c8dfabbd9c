#include "instances/stop_running_instances.h"

#include "instances/instance_wait.h"
#include "instances/quit_request.h"
#include "instances/quit_target.h"

namespace pelko {

StepResult<void> stop_running_instances(Platform& os, const OsString& install_dir,
                                        bool update_mode) {
    // One snapshot chooses the quit target and, when no request was made, is also the wait's
    // first poll: with nothing running the step costs that one snapshot.
    const std::vector<ProcessRecord> snapshot = os.process_snapshot();
    bool ended;
    if (const QuitTarget target = locate_quit_target(os, install_dir, snapshot)) {
        request_quit(os, *target);
        ended = wait_for_instances_to_end(os);
    } else {
        ended = wait_for_instances_to_end(os, snapshot);
    }
    if (ended) return {};
    return fail(std::string(update_mode ? kDidNotQuitText : kStillRunningText));
}

}  // namespace pelko
