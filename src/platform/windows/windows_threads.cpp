#include <windows.h>

#include <algorithm>
#include <array>

#include "platform/windows/unique_resource.h"
#include "platform/windows/windows_platform.h"

namespace pelko::win {
namespace {

DWORD WINAPI run_task(void* task) {
    (*static_cast<const std::function<void()>*>(task))();
    return 0;
}

}  // namespace

void WindowsPlatform::run_concurrently(const std::function<void()>& task, std::uint32_t threads) {
    std::array<UniqueHandle, MAXIMUM_WAIT_OBJECTS> others;
    std::array<HANDLE, MAXIMUM_WAIT_OBJECTS> waited{};  // the same handles, as the wait takes them
    const DWORD processors = std::max<DWORD>(GetActiveProcessorCount(ALL_PROCESSOR_GROUPS), 1);
    const std::uint32_t wanted =
        std::min<std::uint32_t>({threads, processors, static_cast<std::uint32_t>(others.size())});
    DWORD started = 0;
    for (std::uint32_t i = 1; i < wanted; ++i) {
        // The thread only reads `task`, which outlives it: this function waits for it below.
        UniqueHandle thread(CreateThread(nullptr, 0, run_task,
                                         const_cast<std::function<void()>*>(&task), 0, nullptr));
        if (!thread) break;
        waited[started] = thread.get();
        others[started++] = std::move(thread);
    }
    task();
    if (started != 0) WaitForMultipleObjects(started, waited.data(), TRUE, INFINITE);
}

}  // namespace pelko::win
