// Update mode under the failure paths a run can reach: the run never shows a window, exits with
// 1 and leaves "failed: {reason}" as its last log line. The built installer for what its own
// payload reaches (a file where the install directory should be, a staging file or a target that
// cannot be written); this program itself, running the same run on the real platform with a
// payload of its own, for what the demo payload cannot reach (no guard to start, a bad name).
// (No LOCALAPPDATA: setup_run_test. A copy of the app that does not quit: running_app_test, with
// the box; in update mode on the fake, run_setup_test. A target held open through all 20 moves:
// install_files_test on the real platform.)
//
// The child: this program with "--setup-child KIND --update".
#include <windows.h>

#include <gtest/gtest.h>

#include "expected.h"
#include "e2e_support.h"
#include "launch.h"
#include "os_error_texts.h"
#include "payload_builder.h"
#include "platform/windows/windows_platform.h"
#include "setup/run_setup.h"
#include "test_paths.h"

namespace pelko {
namespace {

// The payloads of the child runs.
std::vector<std::byte> child_payload(const std::wstring& kind) {
    testing::ContainerBuilder container;
    if (kind == L"no-guard") {
        container.entry("pelko.exe", "the app, without its guard");
    } else if (kind == L"bad-name") {
        container.entry("pelko.exe", "app").entry("../pelko-guard.exe", "outside");
    }
    return testing::raw_deflate(container.bytes);
}

int child_main(const std::wstring& kind) {
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    const std::vector<std::byte> payload = child_payload(kind);
    win::WindowsPlatform platform;
    return run_setup(platform, {payload});
}

std::string os_error(DWORD code) { return test::os_error_text_of(code); }

// True when the process shows a window before it ends (or before the time is up).
bool window_before_exit(test::Process& process, DWORD timeout_ms) {
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    while (GetTickCount64() < deadline) {
        if (test::shows_window(process.id(), 0)) return true;  // one look, then 50 ms
        if (process.wait(0)) return false;
    }
    return false;
}

struct UpdateFailure : test::SeparateUser {

    // Runs the launch in update mode: no window, exit code 1, the run's lines end with the
    // failure. Returns the run's log messages.
    std::vector<std::string> expect_silent_failure(const test::LaunchOptions& launch,
                                                   DWORD timeout_ms = 30000) {
        test::Process setup = test::start_program(launch);
        EXPECT_TRUE(setup.valid());
        if (!setup.valid()) return {};
        EXPECT_FALSE(window_before_exit(setup, timeout_ms)) << "update mode never shows a window";
        EXPECT_EQ(setup.wait(5000), 1u);
        return test::log_messages(local);
    }

    test::LaunchOptions setup_exe() const {
        return test::setup_launch(L" --update", {{L"LOCALAPPDATA", local}, {L"APPDATA", std::nullopt}});
    }

    test::LaunchOptions child(const wchar_t* kind) const {
        test::LaunchOptions options =
            test::this_program(std::wstring(L" --setup-child ") + kind + L" --update");
        options.environment = {{L"LOCALAPPDATA", local}, {L"APPDATA", std::nullopt}};
        return options;
    }
};

TEST_F(UpdateFailure, FileWhereTheInstallDirectoryShouldBe) {
    fresh(L"e2e-update-dir-is-file");
    test::create_directories(local + L"\\Programs");
    ASSERT_TRUE(test::write_file(install_dir, "a file"));
    EXPECT_EQ(expect_silent_failure(setup_exe()),
              (std::vector<std::string>{testing::start_line(true),
                                        testing::failed_line(os_error(ERROR_ALREADY_EXISTS))}));
    EXPECT_EQ(test::read_file(install_dir), "a file");
}

TEST_F(UpdateFailure, DirectoryWhereTheStagingFileShouldBe) {
    fresh(L"e2e-update-staging-dir");
    test::create_directories(install_dir + L"\\pelko.new");
    const std::vector<std::string> log = expect_silent_failure(setup_exe());
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], testing::start_line(true));
    EXPECT_EQ(log[1], testing::failed_line(test::narrow(install_dir) + "\\pelko.new: " +
                                           os_error(ERROR_ACCESS_DENIED)));
    EXPECT_FALSE(test::file_exists(install_dir + L"\\pelko.exe"));
}

TEST_F(UpdateFailure, DirectoryWhereATargetFileShouldBe) {
    fresh(L"e2e-update-target-dir");
    test::create_directories(install_dir + L"\\driver\\license.txt\\inside");
    const std::vector<std::string> log = expect_silent_failure(setup_exe());
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], testing::start_line(true));
    const std::string prefix =
        testing::failed_line(test::narrow(install_dir) + "\\driver/license.txt: ");
    EXPECT_EQ(log[1].substr(0, prefix.size()), prefix) << log[1];
    EXPECT_TRUE(log[1].ends_with(")")) << log[1];
    EXPECT_TRUE(test::file_exists(install_dir + L"\\driver\\license.txt\\inside"));
    EXPECT_FALSE(test::file_exists(install_dir + L"\\driver\\license.new"));
    // The entries before it are installed, and no app was started.
    EXPECT_TRUE(test::file_exists(install_dir + L"\\driver\\setup-driver.exe"));
    EXPECT_TRUE(test::running(L"pelko-guard.exe").empty());
}

TEST_F(UpdateFailure, AppThatCannotBeStarted) {
    fresh(L"e2e-update-no-guard");
    const std::vector<std::string> log = expect_silent_failure(child(L"no-guard"));
    const std::string install_text = test::narrow(install_dir);
    EXPECT_EQ(log, (std::vector<std::string>{
                       testing::start_line(true), testing::success_line(install_text),
                       testing::failed_line(testing::not_started_failure(os_error(ERROR_FILE_NOT_FOUND)))}));
    EXPECT_EQ(test::read_file(install_dir + L"\\pelko.exe"), "the app, without its guard");
}

TEST_F(UpdateFailure, PayloadNameOutsideTheInstallDirectory) {
    fresh(L"e2e-update-bad-name");
    EXPECT_EQ(expect_silent_failure(child(L"bad-name")),
              (std::vector<std::string>{testing::start_line(true),
                                        testing::failed_line("bad name ../pelko-guard.exe")}));
    EXPECT_FALSE(test::file_exists(install_dir));
    EXPECT_FALSE(test::file_exists(local + L"\\Programs\\pelko-guard.exe"));
}

}  // namespace
}  // namespace pelko

int main(int argc, char** argv) {
    const auto child = pelko::test::child_arguments(L"--setup-child");
    if (child && !child->empty()) return pelko::child_main(child->front());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
