#include "instances/instance_wait.h"

#include "instances/find_processes.h"

namespace pelko {

namespace {

bool wait_until_gone(Platform& os, std::optional<std::span<const ProcessRecord>> first) {
    MonotonicTime deadline = os.monotonic_time();
    deadline.seconds += kQuitWaitSeconds;
    for (;;) {
        if (os.monotonic_time() >= deadline) return false;
        const std::vector<std::uint32_t> running =
            first ? filter_processes(*first, kWatchList) : find_processes(os, kWatchList);
        if (running.empty()) return true;
        first.reset();
        os.sleep(kPollInterval);
    }
}

}  // namespace

bool wait_for_instances_to_end(Platform& os) { return wait_until_gone(os, std::nullopt); }

bool wait_for_instances_to_end(Platform& os, std::span<const ProcessRecord> first) {
    return wait_until_gone(os, first);
}

}  // namespace pelko
