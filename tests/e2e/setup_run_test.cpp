// The installer's start, single-instance test and failure reporting, through the built exe.
#include <windows.h>

#include <gtest/gtest.h>

#include "expected.h"
#include "e2e_support.h"
#include "launch.h"
#include "test_paths.h"

namespace pelko {
namespace {

using test::log_lines;
using test::log_messages;
using test::setup_launch;

TEST(SetupRun, MissingLocalAppDataShowsTheBoxAndExitsOne) {
    test::Process setup = test::start_program(setup_launch(L"", {{L"LOCALAPPDATA", std::nullopt}}));
    ASSERT_TRUE(setup.valid());
    const auto text = test::take_message_box(setup.id(), L"Pelko Setup", 30000);
    ASSERT_TRUE(text.has_value()) << "no message box";
    EXPECT_EQ(test::narrow(*text), testing::failure_box("no LOCALAPPDATA"));
    EXPECT_EQ(setup.wait(30000), 1u);
}

TEST(SetupRun, MissingLocalAppDataInUpdateModeIsSilent) {
    test::Process setup =
        test::start_program(setup_launch(L" --update", {{L"LOCALAPPDATA", std::nullopt}}));
    ASSERT_TRUE(setup.valid());
    EXPECT_FALSE(test::shows_window(setup.id(), 3000));
    EXPECT_EQ(setup.wait(30000), 1u);
}

TEST(SetupRun, HeldMutexMeansAnotherSetupIsRunning) {
    const std::wstring local = test::fresh_directory(L"e2e-mutex");
    const HANDLE held = CreateMutexW(nullptr, FALSE, L"Local\\PelkoSetup");
    ASSERT_NE(held, nullptr);
    const auto code = test::run_program(setup_launch(L"", {{L"LOCALAPPDATA", local}}));
    CloseHandle(held);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(log_messages(local), (std::vector<std::string>{testing::start_line(false),
                                                             "another setup is running"}));
}

TEST(SetupRun, StartLineCarriesTimeAndTheInstallersProcessId) {
    const std::wstring local = test::fresh_directory(L"e2e-start");
    test::Process setup =
        test::start_program(setup_launch(L" x --update", {{L"LOCALAPPDATA", local}}));
    ASSERT_TRUE(setup.valid());
    setup.wait(60000);
    const std::vector<test::LogLine> lines = log_lines(local);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front().message, testing::start_line(true));
    EXPECT_EQ(lines.front().process_id, setup.id());
    EXPECT_GT(lines.front().millis, 1'600'000'000'000ULL);  // after September 2020
    test::end_app(local + L"\\Programs\\Pelko");
}

}  // namespace
}  // namespace pelko
