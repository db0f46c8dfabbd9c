// No handle is left open: the whole run and each platform operation, repeated many times in this
// process on the real Win32 platform under Wine, leave the process's handle count where it was.
// Each loop runs twice before counting, so that handles the system libraries open once on first
// use (and keep) are not taken for leaks.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <iostream>

#include "expected.h"
#include "e2e_support.h"
#include "environment_override.h"
#include "in_process_setup.h"
#include "launch.h"
#include "payload/inflate/stream_index.h"
#include "payload/unpack/unpack_in_pieces.h"
#include "payload_builder.h"
#include "platform/windows/wide.h"
#include "platform/windows/shell_link_error.h"
#include "platform/windows/windows_platform.h"
#include "readback.h"
#include "registration/shortcut.h"
#include "shared/product.h"
#include "test_paths.h"

namespace pelko {
namespace {

// One handle of the system-wide handle list (SystemHandleInformation, class 16).
struct SystemHandleEntry {
    ULONG owner_process_id;
    BYTE object_type;
    BYTE flags;
    USHORT value;
    PVOID object;
    ACCESS_MASK access;
};

// This process's handles counted in the system-wide handle list.
DWORD handles_in_system_list() {
    using Query = LONG(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
    static const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"),
                                               "NtQuerySystemInformation")));
    if (!query) return 0;
    std::vector<std::byte> buffer(1 << 20);
    for (;;) {
        ULONG needed = 0;
        const LONG status = query(16, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status == static_cast<LONG>(0xC0000004)) {  // STATUS_INFO_LENGTH_MISMATCH
            buffer.resize(std::max<std::size_t>(buffer.size() * 2, needed + 4096));
            continue;
        }
        if (status < 0) return 0;
        break;
    }
    ULONG entries = 0;
    std::memcpy(&entries, buffer.data(), sizeof entries);
    // The entries follow the count, aligned as the entry is.
    const auto* first = reinterpret_cast<const SystemHandleEntry*>(
        buffer.data() + alignof(SystemHandleEntry));
    DWORD count = 0;
    for (ULONG i = 0; i < entries; ++i) {
        if (first[i].owner_process_id == GetCurrentProcessId()) ++count;
    }
    return count;
}

// The process's handle count: GetProcessHandleCount; where that gives no count (Wine 8 answers
// 0), this process's entries in the system-wide handle list (the buffer of that query is
// freed before it returns, so the query itself leaves no handle behind).
DWORD handle_count() {
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0) return count;
    return handles_in_system_list();
}

// Runs `body` twice, then `times` times between two handle counts, which must be equal.
template <class Body>
void expect_no_leak(const char* what, int times, Body body) {
    body();
    body();
    const DWORD before = handle_count();
    for (int i = 0; i < times; ++i) body();
    const DWORD after = handle_count();
    std::cout << what << ": " << before << " handles before, " << after << " after " << times
              << " rounds\n";
    EXPECT_EQ(after, before) << what;
}

using test::os_path;

TEST(HandleCount, CountsOpenHandles) {
    DWORD reported = 0;
    GetProcessHandleCount(GetCurrentProcess(), &reported);
    std::cout << "GetProcessHandleCount: " << reported << ", entries in the system handle list: "
              << handles_in_system_list() << "\n";
    const DWORD before = handle_count();
    ASSERT_GT(before, 0u) << "no way to count this process's handles";
    const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(handle_count(), before + 1) << "GetProcessHandleCount does not count handles";
    CloseHandle(event);
    EXPECT_EQ(handle_count(), before);
}

struct HandleLeak : ::testing::Test {
    win::WindowsPlatform windows;
    std::wstring scratch = test::fresh_directory(L"handles");
};

TEST_F(HandleLeak, WholeRunRepeated) {
    const std::wstring local = scratch + L"\\Local";
    const std::wstring roaming = scratch + L"\\Roaming";
    const std::wstring blocked = scratch + L"\\Blocked";
    test::create_directories(roaming + L"\\Microsoft\\Windows\\Start Menu\\Programs");
    test::create_directories(blocked + L"\\Programs");
    ASSERT_TRUE(test::write_file(blocked + L"\\Programs\\Pelko", "a file, not a directory"));
    const test::EnvironmentOverride app_data(L"APPDATA", roaming.c_str());

    // The guard is the demo's helper program, which ends at once.
    const std::string guard = test::read_file(test::build_path("payload/pelko-temp.exe"));
    ASSERT_FALSE(guard.empty());
    const std::vector<std::byte> payload = testing::raw_deflate(
        testing::ContainerBuilder()
            .entry("pelko.exe", std::string(70'000, 'p'))
            .entry("pelko-guard.exe", guard)
            .entry("driver/license.txt", "license")
            .bytes);
    // Update mode: a failing run shows no box. The setup mutex is the one handle a run keeps,
    // created by the first run.
    test::InProcessPlatform os;
    os.update_mode = true;

    {
        const test::EnvironmentOverride local_app_data(L"LOCALAPPDATA", local.c_str());
        const auto run = [&] { EXPECT_EQ(testing::run_setup_to_exit(os, {payload}), 0); };
        const DWORD before_first = handle_count();
        run();
        const DWORD after_first = handle_count();
        std::cout << "first run: " << before_first << " handles before, " << after_first
                  << " after (the setup mutex and what the system libraries keep once loaded)\n";
        EXPECT_GE(after_first, before_first + 1);
        expect_no_leak("whole run, completed", 20, run);
    }
    {
        // Failing runs: a file stands where the install directory should be.
        const test::EnvironmentOverride local_app_data(L"LOCALAPPDATA", blocked.c_str());
        expect_no_leak("whole run, failing at the install directory", 10,
                       [&] { EXPECT_EQ(testing::run_setup_to_exit(os, {payload}), 1); });
    }

    const std::vector<std::string> messages = test::log_messages(local);
    EXPECT_EQ(std::ranges::count(messages, testing::success_line(
                                               testing::install_dir_of(test::narrow(local)))),
              23)
        << "every run went to its end";
    EXPECT_EQ(test::log_messages(blocked).size(), 2u * 12) << "each failing run logged twice";
    RegDeleteTreeW(HKEY_CURRENT_USER, test::kUninstallKey);
}

TEST_F(HandleLeak, ThreadsAndThePayloadInPieces) {
    std::vector<std::byte> container;
    for (int i = 0; i < 300'000; ++i) container.push_back(static_cast<std::byte>(i * i % 251));
    const auto [stored, index] = testing::raw_deflate_in_parts(container, 3);
    std::atomic<int> runs{0};
    expect_no_leak("run_concurrently", 50, [&] { windows.run_concurrently([&] { ++runs; }, 4); });
    EXPECT_GT(runs.load(), 0);
    expect_no_leak("payload in pieces", 10, [&] {
        // A container of bytes, not entries: the reading fails after the pieces are inflated.
        EXPECT_FALSE(unpack_payload_in_pieces(stored, index, windows));
    });
}

TEST_F(HandleLeak, NamedMutexKeepsExactlyOneHandle) {
    const DWORD before = handle_count();
    EXPECT_TRUE(windows.create_named_mutex("Local\\PelkoHandleProbe"));
    EXPECT_EQ(handle_count(), before + 1);
}

TEST_F(HandleLeak, FileOperations) {
    const OsString dir = os_path(scratch + L"\\files");
    const OsString log = os_path(scratch + L"\\files\\log.txt");
    const OsString staging = os_path(scratch + L"\\files\\a.new");
    const OsString target = os_path(scratch + L"\\files\\a.txt");
    const OsString held = os_path(scratch + L"\\files\\held.txt");
    const OsString read_only = os_path(scratch + L"\\files\\read-only.txt");
    const OsString missing = os_path(scratch + L"\\files\\missing\\x.txt");
    const std::string text = "some bytes\n";
    const auto bytes = std::as_bytes(std::span(text));

    expect_no_leak("directories", 100, [&] {
        (void)windows.create_directory(dir);  // made once, then "already exists"
        EXPECT_TRUE(windows.is_directory(dir));
        EXPECT_FALSE(windows.is_directory(log));
        EXPECT_FALSE(windows.create_directory(missing).has_value());
    });
    expect_no_leak("append, write, close", 100, [&] {
        const auto file = windows.open_for_append(log);
        ASSERT_TRUE(file.has_value());
        EXPECT_EQ(windows.write_file(*file, bytes), text.size());
        windows.close_file(*file);
        EXPECT_FALSE(windows.open_for_append(missing).has_value());
    });
    expect_no_leak("staging file written and moved over its target", 100, [&] {
        for (int twice = 0; twice < 2; ++twice) {  // created, then emptied
            const auto file = windows.create_for_writing(staging);
            ASSERT_TRUE(file.has_value());
            EXPECT_EQ(windows.write_file(*file, bytes), text.size());
            windows.close_file(*file);
        }
        EXPECT_TRUE(windows.move_replacing(staging, target).has_value());
        EXPECT_FALSE(windows.create_for_writing(missing).has_value());
        EXPECT_FALSE(windows.move_replacing(missing, target).has_value());
    });

    // A move over a target held open without delete sharing fails, through the handle-based
    // second attempt when the first gives "access denied".
    ASSERT_TRUE(test::write_file(scratch + L"\\files\\held.txt", "held"));
    const HANDLE holder = CreateFileW((scratch + L"\\files\\held.txt").c_str(), GENERIC_READ, 0,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    expect_no_leak("move over a target held open", 50, [&] {
        const auto file = windows.create_for_writing(staging);
        ASSERT_TRUE(file.has_value());
        windows.close_file(*file);
        EXPECT_FALSE(windows.move_replacing(staging, held).has_value());
    });
    CloseHandle(holder);

    expect_no_leak("delete, plain and read-only", 100, [&] {
        const auto file = windows.create_for_writing(staging);
        ASSERT_TRUE(file.has_value());
        windows.close_file(*file);
        EXPECT_TRUE(windows.delete_file(staging).has_value());
        ASSERT_TRUE(test::write_file(scratch + L"\\files\\read-only.txt", "r"));
        SetFileAttributesW((scratch + L"\\files\\read-only.txt").c_str(), FILE_ATTRIBUTE_READONLY);
        (void)windows.delete_file(read_only);  // the handle-based second attempt
        SetFileAttributesW((scratch + L"\\files\\read-only.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW((scratch + L"\\files\\read-only.txt").c_str());
        EXPECT_FALSE(windows.delete_file(missing).has_value());
    });
}

TEST_F(HandleLeak, ProcessOperations) {
    const OsString helper = os_path(test::build_path("payload/pelko-temp.exe"));
    const OsString helper_line = OsString::from_utf8("\"" + helper.to_text() + "\"");
    const OsString missing = os_path(scratch + L"\\no-such.exe");
    test::Process other = test::start_program(
        test::launch_of(test::copy_stand_in(scratch, L"sleeper.exe"), L" 60000"));
    ASSERT_TRUE(other.valid());

    expect_no_leak("snapshot, command lines, path tests", 100, [&] {
        EXPECT_FALSE(windows.process_snapshot().empty());
        (void)windows.process_command_line(GetCurrentProcessId());
        (void)windows.process_command_line(other.id());
        (void)windows.process_command_line(0xFFFFFFF0u);
        EXPECT_TRUE(windows.path_exists(helper));
        EXPECT_TRUE(windows.path_exists(os_path(scratch)));
        EXPECT_FALSE(windows.path_exists(missing));
    });
    expect_no_leak("program starts", 20, [&] {
        EXPECT_TRUE(windows.run_program(helper, helper_line, ProgramWait::until_exit).has_value());
        EXPECT_TRUE(windows.run_program(helper, helper_line, ProgramWait::no).has_value());
        EXPECT_FALSE(windows.run_program(missing, missing, ProgramWait::no).has_value());
    });
}

TEST_F(HandleLeak, RegistryComAndTexts) {
    const std::string subkey = "Software\\Daskove\\PelkoHandleTest";
    const std::uint32_t one = 1;
    expect_no_leak("registry values", 100, [&] {
        EXPECT_TRUE(windows.set_registry_value(subkey, "Number", 4, std::as_bytes(std::span(&one, 1))));
    });
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Daskove\\PelkoHandleTest");
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Daskove");

    const std::string link = test::narrow(scratch + L"\\Pelko.lnk");
    const std::string unreachable = test::narrow(scratch + L"\\missing\\Pelko.lnk");
    const std::string target = test::narrow(test::build_path("payload/pelko-temp.exe"));
    expect_no_leak("shortcuts, saved and failing", 30, [&] {
        EXPECT_TRUE(create_shortcut(windows, link, target, target).has_value());
        EXPECT_FALSE(create_shortcut(windows, unreachable, target, target).has_value());
    });

    expect_no_leak("error texts", 100, [&] {
        EXPECT_TRUE(windows.system_message(2, false).has_value());
        (void)windows.system_message(0xC0000034u & ~0x10000000u, true);
        EXPECT_FALSE(windows.system_message(0xFFFF, false).has_value());
        (void)win::shell_link_error(static_cast<HResult>(0x80004005u));
        (void)win::shell_link_error(static_cast<HResult>(0xD0000034u));
    });
    expect_no_leak("environment, clocks, sleep", 100, [&] {
        EXPECT_TRUE(windows.environment_variable("PATH").has_value());
        EXPECT_FALSE(windows.environment_variable("PELKO_NOT_SET").has_value());
        EXPECT_FALSE(windows.module_file_name().empty());
        EXPECT_FALSE(windows.command_line().empty());
        (void)windows.system_time();
        (void)windows.monotonic_time();
        windows.sleep(std::chrono::milliseconds(1));
    });
}

}  // namespace
}  // namespace pelko
