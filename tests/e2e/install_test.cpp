// The built installer installs its embedded demo payload: every file with its exact bytes, the
// start and success lines in the log, and a second run over the first.
#include <windows.h>

#include <gtest/gtest.h>

#include <iostream>

#include "expected.h"
#include "e2e_support.h"
#include "launch.h"
#include "reference/inflate_payload.h"
#include "payload/container/read_payload.h"
#include "readback.h"
#include "test_paths.h"

namespace pelko {
namespace {

using test::log_lines;

std::string bytes_of(const PayloadEntry& entry) {
    return std::string(reinterpret_cast<const char*>(entry.data().data()), entry.data().size());
}

std::optional<DWORD> run_setup_exe(const std::wstring& local_app_data) {
    test::end_app(local_app_data + L"\\Programs\\Pelko");  // nothing of an earlier test runs
    const auto code = test::run_program(
        test::setup_launch(L"", {{L"LOCALAPPDATA", local_app_data},
                                 {L"APPDATA", local_app_data + L"\\Roaming"}}),
        120000);
    test::end_app(local_app_data + L"\\Programs\\Pelko");  // the app the run started
    return code;
}

void expect_demo_installed(const std::wstring& install_dir) {
    const std::vector<PayloadEntry> entries = test::demo_entries();
    ASSERT_EQ(entries.size(), 5u);
    const char* const names[] = {"pelko.exe", "pelko-guard.exe", "pelko-temp.exe",
                                 "driver/setup-driver.exe", "driver/license.txt"};
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].name(), names[i]);
        std::wstring relative = test::wine_path(entries[i].name()).substr(2);
        const std::string installed = test::read_file(install_dir + L"\\" + relative);
        EXPECT_EQ(installed, bytes_of(entries[i])) << entries[i].name();
    }
    // The programs are the ones the build made, byte for byte.
    for (const char* exe : {"pelko.exe", "pelko-guard.exe", "pelko-temp.exe"}) {
        EXPECT_EQ(test::read_file(install_dir + L"\\" + test::wine_path(exe).substr(2)),
                  test::read_file(test::build_path(std::string("payload/") + exe)))
            << exe;
    }
    EXPECT_FALSE(test::file_exists(install_dir + L"\\pelko.new"));
    EXPECT_FALSE(test::file_exists(install_dir + L"\\driver\\license.new"));
}

TEST(Install, DemoPayloadIsInstalledAndLoggedThenInstalledAgain) {
    const std::wstring local = test::fresh_directory(L"e2e-install");
    const std::wstring install_dir = local + L"\\Programs\\Pelko";
    const std::string install_text = test::narrow(install_dir);

    ASSERT_EQ(run_setup_exe(local), 0u);
    expect_demo_installed(install_dir);
    auto lines = log_lines(local);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.front().message, testing::start_line(false));
    EXPECT_EQ(lines.back().message, testing::success_line(install_text));
    std::cout << "install of the demo payload: " << lines.back().millis - lines.front().millis
              << " ms from the start line to the success line\n";

    // Over the first installation, with stale staging files (one read-only and hidden, as an
    // interrupted run or a sync tool can leave it) and an older app in place, read-only.
    ASSERT_TRUE(test::write_file(install_dir + L"\\pelko.exe", "older version"));
    ASSERT_TRUE(test::write_file(install_dir + L"\\pelko.new", std::string(50000, 's')));
    ASSERT_TRUE(test::write_file(install_dir + L"\\pelko-temp.new", "stale"));
    constexpr DWORD kKept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
    ASSERT_TRUE(SetFileAttributesW((install_dir + L"\\pelko-temp.new").c_str(), kKept));
    ASSERT_TRUE(SetFileAttributesW((install_dir + L"\\pelko.exe").c_str(),
                                   FILE_ATTRIBUTE_READONLY));
    ASSERT_EQ(run_setup_exe(local), 0u);
    expect_demo_installed(install_dir);
    for (const wchar_t* name : {L"pelko.exe", L"pelko-guard.exe", L"pelko-temp.exe"}) {
        const DWORD attributes = GetFileAttributesW((install_dir + L"\\" + name).c_str());
        EXPECT_EQ(attributes & kKept, 0u) << test::narrow(name);
    }
    EXPECT_FALSE(test::file_exists(install_dir + L"\\pelko-temp.new"));
    const std::size_t first_run = lines.size();
    lines = log_lines(local);
    ASSERT_EQ(lines.size(), 2 * first_run);
    EXPECT_EQ(lines[first_run].message, testing::start_line(false));
    EXPECT_EQ(lines.back().message, testing::success_line(install_text));
}

}  // namespace
}  // namespace pelko
