#include "instances/instance_wait.h"

#include "instances/find_processes.h"

namespace pelko {

bool wait_for_instances_to_end(Platform& os) {
    MonotonicTime deadline = os.monotonic_time();
    deadline.seconds += kQuitWaitSeconds;
    for (;;) {
        if (os.monotonic_time() >= deadline) return false;
        if (find_processes(os, kWatchList).empty()) return true;
        os.sleep(kPollInterval);
    }
}

}  // namespace pelko
