// The installer's start, single-instance test and failure reporting, through the built exe.
#include <windows.h>

#include <gtest/gtest.h>

#include "launch.h"
#include "test_paths.h"

namespace pelko {
namespace {

using test::LaunchSpec;

std::string log_of(const std::wstring& local_app_data) {
    return test::read_file(local_app_data + L"\\Pelko\\logs\\setup.log");
}

// The messages of the log's lines, without time and process id.
std::vector<std::string> log_messages(const std::wstring& local_app_data) {
    std::vector<std::string> messages;
    const std::string log = log_of(local_app_data);
    std::size_t start = 0;
    while (start < log.size()) {
        const std::size_t end = log.find('\n', start);
        const std::string line = log.substr(start, end - start);
        const std::size_t pid = line.find(" pid ");
        messages.push_back(line.substr(line.find(' ', pid + 5) + 1));
        start = end + 1;
    }
    return messages;
}

LaunchSpec setup_run(const std::wstring& arguments,
                     std::vector<std::pair<std::wstring, std::optional<std::wstring>>> env) {
    LaunchSpec spec;
    spec.program = test::setup_exe();
    spec.command_line = L"\"" + spec.program + L"\"" + arguments;
    spec.environment = std::move(env);
    return spec;
}

TEST(SetupRun, MissingLocalAppDataShowsTheBoxAndExitsOne) {
    test::Process setup = test::start_program(setup_run(L"", {{L"LOCALAPPDATA", std::nullopt}}));
    ASSERT_TRUE(setup.valid());
    const auto text = test::take_message_box(setup.id(), L"Pelko Setup", 30000);
    ASSERT_TRUE(text.has_value()) << "no message box";
    EXPECT_EQ(test::narrow(*text), "Pelko was not installed.\n\nno LOCALAPPDATA");
    EXPECT_EQ(setup.wait(30000), 1u);
}

TEST(SetupRun, MissingLocalAppDataInUpdateModeIsSilent) {
    test::Process setup =
        test::start_program(setup_run(L" --update", {{L"LOCALAPPDATA", std::nullopt}}));
    ASSERT_TRUE(setup.valid());
    EXPECT_FALSE(test::shows_window(setup.id(), 3000));
    EXPECT_EQ(setup.wait(30000), 1u);
}

TEST(SetupRun, HeldMutexMeansAnotherSetupIsRunning) {
    const std::wstring local = test::fresh_directory(L"e2e-mutex");
    const HANDLE held = CreateMutexW(nullptr, FALSE, L"Local\\PelkoSetup");
    ASSERT_NE(held, nullptr);
    const auto code = test::run_program(setup_run(L"", {{L"LOCALAPPDATA", local}}));
    CloseHandle(held);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(log_messages(local), (std::vector<std::string>{"setup v0.1.1, update: false",
                                                             "another setup is running"}));
}

TEST(SetupRun, StartLineCarriesTimeAndTheInstallersProcessId) {
    const std::wstring local = test::fresh_directory(L"e2e-start");
    test::Process setup =
        test::start_program(setup_run(L" x --update", {{L"LOCALAPPDATA", local}}));
    ASSERT_TRUE(setup.valid());
    setup.wait(60000);
    const std::string log = log_of(local);
    const std::string expected = " pid " + std::to_string(setup.id()) + " setup v0.1.1, update: true\n";
    ASSERT_NE(log.find(expected), std::string::npos) << log;
    const unsigned long long millis = std::stoull(log.substr(0, log.find(' ')));
    EXPECT_GT(millis, 1'600'000'000'000ULL);  // after September 2020
}

}  // namespace
}  // namespace pelko
