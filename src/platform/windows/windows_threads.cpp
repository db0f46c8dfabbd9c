#include <windows.h>

#include <algorithm>
#include <array>

#include "platform/windows/unique_resource.h"
#include "platform/windows/windows_platform.h"

namespace pelko::win {
namespace {

DWORD WINAPI run_task(void* task) {
    (*static_cast<const FunctionRef<void()>*>(task))();
    return 0;
}

DWORD active_processors() {
    return std::max<DWORD>(GetActiveProcessorCount(ALL_PROCESSOR_GROUPS), 1);
}

// A monitor's words are a slim reader/writer lock and a condition variable, both zero at rest.
static_assert(sizeof(SRWLOCK) == sizeof(void*) && sizeof(CONDITION_VARIABLE) == sizeof(void*));
SRWLOCK* lock_of(Monitor& monitor) { return reinterpret_cast<SRWLOCK*>(&monitor.words[0]); }
CONDITION_VARIABLE* wake_of(Monitor& monitor) {
    return reinterpret_cast<CONDITION_VARIABLE*>(&monitor.words[1]);
}

}  // namespace

void WindowsPlatform::run_concurrently(FunctionRef<void()> task, std::uint32_t threads) {
    std::array<UniqueHandle, MAXIMUM_WAIT_OBJECTS> others;
    std::array<HANDLE, MAXIMUM_WAIT_OBJECTS> waited{};  // the same handles, as the wait takes them
    const DWORD processors = active_processors();
    const std::uint32_t wanted =
        std::min<std::uint32_t>({threads, processors, static_cast<std::uint32_t>(others.size())});
    DWORD started = 0;
    for (std::uint32_t i = 1; i < wanted; ++i) {
        // The thread only reads `task`, which outlives it: this function waits for it below.
        UniqueHandle thread(CreateThread(nullptr, 0, run_task, &task, 0, nullptr));
        if (!thread) break;
        waited[started] = thread.get();
        others[started++] = std::move(thread);
    }
    task();
    if (started != 0) WaitForMultipleObjects(started, waited.data(), TRUE, INFINITE);
}

std::uint32_t WindowsPlatform::processor_count() { return active_processors(); }

void WindowsPlatform::lock(Monitor& monitor) { AcquireSRWLockExclusive(lock_of(monitor)); }

void WindowsPlatform::unlock(Monitor& monitor) { ReleaseSRWLockExclusive(lock_of(monitor)); }

void WindowsPlatform::wait(Monitor& monitor) {
    SleepConditionVariableSRW(wake_of(monitor), lock_of(monitor), INFINITE, 0);
}

void WindowsPlatform::wake_all(Monitor& monitor) { WakeAllConditionVariable(wake_of(monitor)); }

}  // namespace pelko::win
