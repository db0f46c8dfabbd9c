// Memory: the payload's buffers, and what ends the run when the program's own allocations fail.
#include <windows.h>

#include <atomic>
#include <cstdlib>

#include "platform/windows/memory_exhausted.h"
#include "platform/windows/windows_platform.h"

namespace pelko::win {
namespace {

// Set aside for the action: the log line (its path, its texts) and the message box.
constexpr std::size_t kReserve = std::size_t{1} << 20;

// The platform whose action ends the run, and the memory set aside for it: an allocation can
// fail on any thread and knows no platform. Constant-initialized, so that no guarded static
// brings a thread library along.
constinit std::atomic<WindowsPlatform*> exhausted_platform{nullptr};
constinit void* reserve = nullptr;
constinit std::atomic<bool> entered{false};

}  // namespace

void memory_exhausted() {
    if (!entered.exchange(true)) {
        if (WindowsPlatform* platform = exhausted_platform.load()) {
            std::free(reserve);
            reserve = nullptr;
            platform->run_memory_exhausted_action();
        }
    }
    TerminateProcess(GetCurrentProcess(), 1);
    ExitProcess(1);  // only if the process could not be terminated
}

SharedBytes WindowsPlatform::allocate(std::size_t size) { return heap_memory().allocate(size); }

void WindowsPlatform::on_memory_exhausted(MemoryAction action, std::uintptr_t context) {
    memory_exhausted_action_ = action;
    memory_exhausted_context_ = context;
    if (reserve == nullptr) reserve = std::malloc(kReserve);
    exhausted_platform.store(this);
}

void WindowsPlatform::run_memory_exhausted_action() {
    if (memory_exhausted_action_) memory_exhausted_action_(*this, memory_exhausted_context_);
}

void WindowsPlatform::forget_memory_exhausted_action() {
    WindowsPlatform* self = this;
    exhausted_platform.compare_exchange_strong(self, nullptr);
}

}  // namespace pelko::win
