#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "launch.h"
#include "setup_log_reader.h"
#include "test_paths.h"

namespace pelko::test {

using testing::LogLine;

// The setup log under a LOCALAPPDATA folder, line by line.
std::vector<LogLine> log_lines(const std::wstring& local_app_data);
std::vector<std::string> log_messages(const std::wstring& local_app_data);

// A run of the built installer with extra arguments (" --update") and environment changes.
LaunchOptions setup_launch(const std::wstring& arguments,
                        std::vector<std::pair<std::wstring, std::optional<std::wstring>>> env);

// The ids of running processes with this executable name (ASCII case ignored).
std::vector<DWORD> running(const wchar_t* name);

// True while a copy of pelko.exe or pelko-guard.exe runs in the Wine session.
bool app_running();

// Ends the app of an install directory and whatever copies of pelko.exe and pelko-guard.exe
// still run in the Wine session: first as the app is asked to ("pelko.exe --quit"), then by
// terminating what is left. Returns once none has run for half a second.
void end_app(const std::wstring& install_dir);

// A test of runs with a LOCALAPPDATA folder of their own: fresh() checks that no copy of the
// app runs, makes the folder and names its install directory; the app that the runs started
// is ended after the test.
struct SeparateUser : ::testing::Test {
    std::wstring local;
    std::wstring install_dir;

    void fresh(const wchar_t* name) {
        ASSERT_FALSE(app_running()) << "a copy of the app from elsewhere is still running";
        local = fresh_directory(name);
        install_dir = local + L"\\Programs\\Pelko";
    }
    void TearDown() override {
        if (!install_dir.empty()) end_app(install_dir);
    }
};

// The stand-in program of the tests (tests/windows/stand_in.cpp), copied under a name.
std::wstring copy_stand_in(const std::wstring& dir, const std::wstring& name);

}  // namespace pelko::test
