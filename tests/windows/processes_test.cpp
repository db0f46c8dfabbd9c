// The process operations of the Win32 platform and the instance step on them, under Wine, with
// copies of a stand-in program named as the app and its guard. Every process a test starts is
// held by a test::Process (terminated when dropped, whatever the test's outcome), and the
// stand-in ends by itself after 30 s by default.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "e2e_support.h"
#include "environment_override.h"
#include "instances/find_processes.h"
#include "instances/stop_running_instances.h"
#include "launch.h"
#include "platform/windows/wide.h"
#include "platform/windows/windows_platform.h"
#include "test_paths.h"

namespace pelko {
namespace {

using test::narrow;
using test::os_path;
using test::Process;

struct CurrentDirectory {
    std::wstring earlier;
    explicit CurrentDirectory(const std::wstring& dir) {
        wchar_t buffer[MAX_PATH * 4];
        earlier.assign(buffer, GetCurrentDirectoryW(MAX_PATH * 4, buffer));
        SetCurrentDirectoryW(dir.c_str());
    }
    ~CurrentDirectory() { SetCurrentDirectoryW(earlier.c_str()); }
};

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

using test::copy_stand_in;

// Starts a program with an argument; the process ends when the returned value is dropped.
Process start(const std::wstring& exe, const std::wstring& argument) {
    Process process = test::start_program(test::launch_of(exe, L" " + argument));
    EXPECT_TRUE(process.valid()) << narrow(exe) << ": " << GetLastError();
    return process;
}

// Takes hold of a process by id, so that it is terminated when the value is dropped.
Process adopt(DWORD id) {
    const HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION,
                                 FALSE, id);
    return h ? Process(h, id) : Process();
}

std::vector<std::uint32_t> ids_named(win::WindowsPlatform& os, std::string_view name) {
    std::vector<std::uint32_t> ids;
    for (const ProcessRecord& record : os.process_snapshot()) {
        if (record.name == name) ids.push_back(record.id);
    }
    return ids;
}

struct Processes : ::testing::Test {
    win::WindowsPlatform os;
    void SetUp() override {
        // The installer's view is the whole session: nothing named like the app may be left over.
        ASSERT_TRUE(find_processes(os, kWatchList).empty())
            << "a pelko.exe or pelko-guard.exe runs already in this Wine session";
    }
};

TEST_F(Processes, SnapshotNamesTheRunningProcesses) {
    const std::wstring dir = test::fresh_directory(L"proc-snapshot");
    Process app = start(copy_stand_in(dir, L"pelko.exe"), L"20000");
    Process guard = start(copy_stand_in(dir, L"pelko-guard.exe"), L"20000");

    const std::vector<ProcessRecord> records = os.process_snapshot();
    const auto has = [&](std::uint32_t id, std::string_view name) {
        return std::ranges::any_of(
            records, [&](const ProcessRecord& r) { return r.id == id && r.name == name; });
    };
    EXPECT_TRUE(has(app.id(), "pelko.exe"));
    EXPECT_TRUE(has(guard.id(), "pelko-guard.exe"));

    std::vector<std::uint32_t> found = find_processes(os, kWatchList);
    std::ranges::sort(found);
    std::vector<std::uint32_t> expected{app.id(), guard.id()};
    std::ranges::sort(expected);
    EXPECT_EQ(found, expected);
    EXPECT_EQ(find_processes(os, kAppNameList), std::vector<std::uint32_t>{app.id()});
}

TEST_F(Processes, CommandLineQueryNeverGivesAWrongAnswer) {
    // Wine 8 has no command-line query of another process: the answer is then absent. Where it
    // exists, it is the process's own command line.
    const std::optional<std::string> own = os.process_command_line(GetCurrentProcessId());
    if (own) {
        EXPECT_EQ(*own, narrow(GetCommandLineW()));
    }
    EXPECT_FALSE(os.process_command_line(0xFFFFFFF0u).has_value());
}

TEST_F(Processes, RunProgramReturnsAtOnceWhenNotAskedToWait) {
    const std::wstring dir = test::fresh_directory(L"proc-run");
    const std::wstring exe = copy_stand_in(dir, L"run-stand-in.exe");
    const auto start_time = std::chrono::steady_clock::now();
    ASSERT_TRUE(os.run_program(os_path(exe), os_path(L"\"" + exe + L"\" 20000"), ProgramWait::no));
    EXPECT_LT(seconds_since(start_time), 1.0);
    const std::vector<std::uint32_t> ids = ids_named(os, "run-stand-in.exe");
    ASSERT_EQ(ids.size(), 1u);
    Process started = adopt(ids[0]);
    ASSERT_TRUE(started.valid());
    EXPECT_FALSE(started.wait(0).has_value());  // still running
}

TEST_F(Processes, RunProgramHandsOnTheStandardHandles) {
    const std::wstring dir = test::fresh_directory(L"proc-handles");
    const std::wstring exe = copy_stand_in(dir, L"say-stand-in.exe");
    // This process's standard output becomes a file opened without inheritance: only an
    // inheritable duplicate can reach the child.
    const std::wstring out_path = dir + L"\\out.txt";
    const HANDLE out = CreateFileW(out_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                   CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(out, INVALID_HANDLE_VALUE);
    const HANDLE earlier = GetStdHandle(STD_OUTPUT_HANDLE);
    SetStdHandle(STD_OUTPUT_HANDLE, out);
    const auto result =
        os.run_program(os_path(exe), os_path(L"\"" + exe + L"\" say"), ProgramWait::until_exit);
    SetStdHandle(STD_OUTPUT_HANDLE, earlier);
    CloseHandle(out);
    ASSERT_TRUE(result);
    EXPECT_EQ(test::read_file(out_path), "stand-in says hello\n");
}

// A program path is never looked up; a relative one is taken from the current directory.
TEST_F(Processes, RunProgramAndPathExistsTakeRelativePathsFromTheCurrentDirectory) {
    const std::wstring dir = test::fresh_directory(L"proc-forms");
    copy_stand_in(dir, L"pelko.exe");
    const CurrentDirectory here(dir);

    const auto bare = os.run_program(os_path(L"pelko.exe"), os_path(L"\"pelko.exe\" 1"),
                                     ProgramWait::until_exit);
    ASSERT_FALSE(bare);
    EXPECT_EQ(bare.error().code, ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(test::file_exists(dir + L"\\pelko.exe.txt"));
    // CreateProcessW takes the path unchanged; the ending is compared without regard to case.
    ASSERT_TRUE(os.run_program(os_path(L".\\pelko.EXE"), os_path(L"p 1"), ProgramWait::until_exit));
    EXPECT_EQ(test::read_file(dir + L"\\pelko.exe.txt"), "p 1\n");

    EXPECT_TRUE(os.path_exists(OsString::from_utf8("pelko.exe")));
    EXPECT_FALSE(os.path_exists(OsString::from_utf8("C:\\Program")));
}

TEST_F(Processes, GuardEndingAfterTwoSecondsIsWaitedForWithoutAQuitRequest) {
    const std::wstring root = test::fresh_directory(L"proc-guard");
    const test::EnvironmentOverride local(L"LOCALAPPDATA", root.c_str());
    const std::wstring install_dir = root + L"\\Programs\\Pelko";
    Process guard = start(copy_stand_in(root, L"pelko-guard.exe"), L"2000");

    const auto start_time = std::chrono::steady_clock::now();
    const StepResult<void> result = stop_running_instances(os, os_path(install_dir), false);
    const double took = seconds_since(start_time);
    EXPECT_TRUE(result.has_value());
    EXPECT_GE(took, 1.5);
    EXPECT_LT(took, 8.0);
    EXPECT_TRUE(guard.wait(0).has_value());
    EXPECT_TRUE(test::log_messages(root).empty()) << "no quit request";
}

}  // namespace
}  // namespace pelko
