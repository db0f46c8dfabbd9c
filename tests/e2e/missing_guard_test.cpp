// A payload without the guard, run in this process on the real platform: the files, the entry
// and the shortcut are written, the success line is logged, and then the start fails.
#include <windows.h>

#include <gtest/gtest.h>

#include "expected.h"
#include "e2e_support.h"
#include "environment_override.h"
#include "in_process_setup.h"
#include "payload_builder.h"
#include "test_paths.h"

namespace pelko {
namespace {

TEST(MissingGuard, SuccessLineThenPelkoNotStarted) {
    const std::wstring local = test::fresh_directory(L"e2e-missing-guard");
    const std::wstring programs = local + L"\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
    test::create_directories(programs);
    const test::EnvironmentOverride local_app_data(L"LOCALAPPDATA", local.c_str());
    const test::EnvironmentOverride app_data(L"APPDATA", (local + L"\\Roaming").c_str());
    const std::wstring install_dir = local + L"\\Programs\\Pelko";

    test::InProcessPlatform os;
    const auto payload = testing::raw_deflate(
        testing::ContainerBuilder().entry("pelko.exe", "not really an app").bytes);
    EXPECT_EQ(testing::run_setup_to_exit(os, {payload}), 1);

    const std::vector<std::string> messages = test::log_messages(local);
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[1], testing::success_line(test::narrow(install_dir)));
    EXPECT_TRUE(messages[2].starts_with(testing::failed_line(testing::not_started_failure(""))))
        << messages[2];
    EXPECT_TRUE(messages[2].ends_with(" (os error 2)")) << messages[2];
    ASSERT_EQ(os.boxes.size(), 1u);
    EXPECT_EQ(os.boxes[0], testing::failure_box(messages[2].substr(8)));
    EXPECT_EQ(test::read_file(install_dir + L"\\pelko.exe"), "not really an app");
    EXPECT_TRUE(test::file_exists(programs + L"\\Pelko.lnk"));
}

}  // namespace
}  // namespace pelko
