// A failed run ends at once even while the shortcut preload thread cannot go on: the exit does
// not wait for it, so the setup mutex is not held on.
#include <windows.h>

#include <gtest/gtest.h>

#include "launch.h"
#include "test_paths.h"

namespace pelko {
namespace {

TEST(WindowsExit, EndsAtOnceWhileThePreloadThreadIsStuck) {
    test::LaunchOptions probe;
    probe.program = test::wine_path(PELKO_EXIT_PROBE);
    probe.command_line =
        L"\"" + probe.program + L"\" \"" + test::wine_path(PELKO_SLOW_DLL) + L"\"";
    const ULONGLONG start = GetTickCount64();
    // The stuck load lasts a minute: an end that waited for the preload would take that long.
    EXPECT_EQ(test::run_program(probe, 30000), 7u);
    EXPECT_LT(GetTickCount64() - start, 30000u);
}

}  // namespace
}  // namespace pelko
