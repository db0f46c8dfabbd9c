// pelko-setup.exe with a clock on its run: the same run of the same core on the Win32 platform,
// which here also notes the time of every point the run reaches (RunPoint), and writes them, as
// microseconds since the process was created, to the file PELKO_PHASES names when the run ends:
//
//   entered <us>                    (wWinMain, after the image was loaded and initialised)
//   <point> <us> <thread>           (one line per point reached, in the order reached)
//
// scripts/bench.sh turns them into the phases of a run. With PELKO_ONE_PROCESSOR set, the run is
// told of one processor: the files are installed one at a time (the payload is still inflated on
// every processor), the run to compare staging ahead with.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>

#include "main/linked_payload.h"
#include "platform/windows/windows_platform.h"
#include "setup/run_setup.h"

namespace {

using pelko::RunPoint;

constexpr const char* kPointNames[] = {
    "start_line", "checking", "inflating", "piece_done", "inflated", "read",        "stopped",
    "entry_begins", "staged", "moving",   "moved",      "registered", "shortcut", "success_line",
};

std::uint64_t now_100ns() {
    FILETIME time;
    GetSystemTimePreciseAsFileTime(&time);
    return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

class ClockedPlatform final : public pelko::win::WindowsPlatform {
public:
    ClockedPlatform() {
        FILETIME created, exited, kernel, user;
        GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
        created_ = (std::uint64_t{created.dwHighDateTime} << 32) | created.dwLowDateTime;
        entered_ = now_100ns();
    }
    void reached(RunPoint point) override {
        const std::size_t at = count_.fetch_add(1);
        if (at < kMarks) marks_[at] = {point, now_100ns(), GetCurrentThreadId()};
    }
    std::uint32_t processor_count() override {
        return GetEnvironmentVariableW(L"PELKO_ONE_PROCESSOR", nullptr, 0) != 0
                   ? 1
                   : WindowsPlatform::processor_count();
    }
    void write_marks() const {
        wchar_t path[MAX_PATH];
        if (GetEnvironmentVariableW(L"PELKO_PHASES", path, MAX_PATH) == 0) return;
        std::FILE* out = _wfopen(path, L"w");
        if (out == nullptr) return;
        std::fprintf(out, "entered %llu\n", (entered_ - created_) / 10);
        const std::size_t count = std::min(count_.load(), kMarks);
        for (std::size_t i = 0; i < count; ++i) {
            std::fprintf(out, "%s %llu %lu\n", kPointNames[static_cast<int>(marks_[i].point)],
                         (marks_[i].time - created_) / 10, marks_[i].thread);
        }
        std::fclose(out);
    }

private:
    struct Mark {
        RunPoint point;
        std::uint64_t time;
        DWORD thread;
    };
    static constexpr std::size_t kMarks = 1 << 17;
    Mark marks_[kMarks];
    std::atomic<std::size_t> count_{0};
    std::uint64_t created_ = 0;
    std::uint64_t entered_ = 0;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    pelko::win::restrict_dll_search();
    auto* platform = new ClockedPlatform;  // its marks are too many for the stack
    const int code = pelko::run_setup(*platform, pelko::win::linked_payload());
    platform->write_marks();
    platform->exit_process(static_cast<std::uint32_t>(code));
}
