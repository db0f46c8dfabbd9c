// The demo app of the payload: pelko.exe runs until `pelko.exe --quit`; pelko-guard.exe runs
// pelko.exe and ends with it. Every copy ends within a second of the --quit run.
#include <windows.h>

#include <gtest/gtest.h>

#include "launch.h"
#include "test_paths.h"

namespace pelko {
namespace {

test::LaunchOptions demo(const char* program, const std::wstring& arguments = L"") {
    return test::launch_of(test::build_path(std::string("payload/") + program), arguments);
}

TEST(DemoApp, QuitRunEndsEveryCopyAndTheGuard) {
    test::Process first = test::start_program(demo("pelko.exe"));
    test::Process second = test::start_program(demo("pelko.exe"));
    test::Process guard = test::start_program(demo("pelko-guard.exe"));
    ASSERT_TRUE(first.valid() && second.valid() && guard.valid());
    // They keep running.
    EXPECT_FALSE(first.wait(1500).has_value());
    EXPECT_FALSE(second.wait(0).has_value());
    EXPECT_FALSE(guard.wait(0).has_value());

    EXPECT_EQ(test::run_program(demo("pelko.exe", L" --quit"), 30000), 0u);
    EXPECT_EQ(first.wait(1000), 0u);
    EXPECT_EQ(second.wait(1000), 0u);
    EXPECT_EQ(guard.wait(1000), 0u);

    // A later copy is not ended by the earlier signal.
    test::Process later = test::start_program(demo("pelko.exe"));
    ASSERT_TRUE(later.valid());
    EXPECT_FALSE(later.wait(1000).has_value());
    EXPECT_EQ(test::run_program(demo("pelko.exe", L" --quit"), 30000), 0u);
    EXPECT_EQ(later.wait(1000), 0u);
}

TEST(DemoApp, QuitWithNothingRunningAndGuardUninstallEndAtOnce) {
    EXPECT_EQ(test::run_program(demo("pelko.exe", L" --quit"), 30000), 0u);
    EXPECT_EQ(test::run_program(demo("pelko-guard.exe", L" --uninstall"), 30000), 0u);
    EXPECT_EQ(test::run_program(demo("pelko-temp.exe"), 30000), 0u);
}

}  // namespace
}  // namespace pelko
