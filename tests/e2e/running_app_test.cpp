// The installer and a running app, through the built exe: the app is asked to quit and the
// install goes on; a copy that does not quit ends the run after the 20-second wait. (A guard
// alone, which ends within the wait: processes_test, on the real platform.)
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "expected.h"
#include "e2e_support.h"
#include "launch.h"
#include "test_paths.h"

namespace pelko {
namespace {

using test::end_app;
using test::log_messages;
using test::running;

constexpr const char* kStillRunning =
    "Pelko is still running. Right click the bar > Quit Pelko, then run the setup again.";

struct RunningApp : test::SeparateUser {
    void start_fresh(const wchar_t* name) {
        fresh(name);
        test::create_directories(local + L"\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs");
    }

    std::vector<std::pair<std::wstring, std::optional<std::wstring>>> env() const {
        return {{L"LOCALAPPDATA", local}, {L"APPDATA", local + L"\\Roaming"}};
    }
};

TEST_F(RunningApp, DemoAppFromTheInstallDirectoryIsAskedToQuit) {
    start_fresh(L"e2e-running-demo");
    ASSERT_EQ(test::run_program(test::setup_launch(L"", env())), 0u);
    end_app(install_dir);  // whatever the first run started

    test::LaunchOptions app;
    app.program = install_dir + L"\\pelko.exe";
    test::Process demo = test::start_program(app);
    ASSERT_TRUE(demo.valid());
    for (int i = 0; i < 100 && running(L"pelko.exe").empty(); ++i) Sleep(20);
    ASSERT_FALSE(running(L"pelko.exe").empty());

    const ULONGLONG start = GetTickCount64();
    ASSERT_EQ(test::run_program(test::setup_launch(L" --update", env())), 0u);
    EXPECT_LT(GetTickCount64() - start, 15000u) << "the app did not end on request";
    EXPECT_EQ(demo.wait(0), 0u) << "the demo app ended by itself, asked by --quit";

    const std::vector<std::string> messages = log_messages(local);
    const std::string install_text = test::narrow(install_dir);
    const std::vector<std::string> update_run(messages.end() - 3, messages.end());
    EXPECT_EQ(update_run, (std::vector<std::string>{
                              testing::start_line(true),
                              testing::asking_line(testing::app_exe_of(install_text)),
                              testing::success_line(install_text)}));
}

// The one run of the 20-second wait under Wine (its logic is instances_test's, and the update
// mode's silent failure with its own text is run_setup_test's, both on the fake).
TEST_F(RunningApp, CopyIgnoringQuitEndsTheRunAfterTheWaitWithTheStillRunningBox) {
    start_fresh(L"e2e-running-box");
    // A copy that lives on whatever it is asked, at the install directory's pelko.exe: the path
    // the quit request goes to (Wine answers no command-line query; Windows would give this one).
    test::create_directories(install_dir);
    const std::wstring app = test::copy_stand_in(install_dir, L"pelko.exe");
    const std::string stand_in = test::read_file(app);
    test::Process copy = test::start_program(test::launch_of(app, L" 40000"));
    ASSERT_TRUE(copy.valid());

    const ULONGLONG start = GetTickCount64();
    test::Process setup = test::start_program(test::setup_launch(L"", env()));
    ASSERT_TRUE(setup.valid());
    const auto text = test::take_message_box(setup.id(), L"Pelko Setup", 35000);
    const ULONGLONG waited = GetTickCount64() - start;
    ASSERT_TRUE(text.has_value()) << "no message box";
    EXPECT_EQ(test::narrow(*text), testing::failure_box(kStillRunning));
    EXPECT_GE(waited, 20000u);
    EXPECT_LT(waited, 28000u);
    EXPECT_EQ(setup.wait(10000), 1u);

    const std::string install_text = test::narrow(install_dir);
    EXPECT_EQ(log_messages(local),
              (std::vector<std::string>{testing::start_line(false),
                                        testing::asking_line(testing::app_exe_of(install_text)),
                                        testing::failed_line(kStillRunning)}));
    // The request reached the copy's program; the installer never ends a process itself.
    const std::string runs = test::read_file(app + L".txt");
    EXPECT_NE(runs.find(test::narrow(L"\"" + app + L"\" --quit\n")), std::string::npos) << runs;
    EXPECT_FALSE(copy.wait(0).has_value()) << "the copy was ended";
    // No file is written while the app runs: the install directory holds the copy alone.
    std::vector<std::wstring> names;
    for (const auto& entry : std::filesystem::directory_iterator(install_dir)) {
        names.push_back(entry.path().filename().wstring());
    }
    std::ranges::sort(names);
    EXPECT_EQ(names, (std::vector<std::wstring>{L"pelko.exe", L"pelko.exe.txt"}));
    EXPECT_EQ(test::read_file(app), stand_in);
}

}  // namespace
}  // namespace pelko
