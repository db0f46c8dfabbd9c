#include "host_machine.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

namespace pelko::packer {

SharedBytes HostMachine::allocate(std::size_t size) { return heap_memory().allocate(size); }

void HostMachine::run_concurrently(FunctionRef<void()> task, std::uint32_t threads) {
    const unsigned count = std::min(threads, std::max(1u, std::thread::hardware_concurrency()));
    std::vector<std::thread> others;
    for (unsigned i = 1; i < count; ++i) {
        try {
            others.emplace_back(task);
        } catch (const std::system_error&) {
            break;  // fewer threads: this one still runs the task
        }
    }
    task();
    for (std::thread& other : others) other.join();
}

}  // namespace pelko::packer
