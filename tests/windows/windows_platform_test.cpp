#include <windows.h>

#include <gtest/gtest.h>

#include "environment_override.h"
#include "platform/windows/wide.h"
#include "platform/windows/windows_platform.h"
#include "shared/os_error_text.h"
#include "setup/setup_log.h"
#include "test_paths.h"

namespace pelko {
namespace {

using test::fresh_directory;
using test::read_file;
using test::EnvironmentOverride;

TEST(WindowsEnvironment, UnsetIsToldApartFromEmpty) {
    win::WindowsPlatform os;
    const EnvironmentOverride unset(L"PELKO_TEST_VAR", nullptr);
    EXPECT_FALSE(os.environment_variable("PELKO_TEST_VAR").has_value());
    {
        EnvironmentOverride empty(L"PELKO_TEST_VAR", L"");
        const auto value = os.environment_variable("PELKO_TEST_VAR");
        ASSERT_TRUE(value.has_value());
        EXPECT_TRUE(value->empty());
    }
    const std::wstring long_value(1000, L'x');
    EnvironmentOverride long_one(L"PELKO_TEST_VAR", long_value.c_str());
    EXPECT_EQ(os.environment_variable("PELKO_TEST_VAR")->wtf8(), std::string(1000, 'x'));
}

TEST(WindowsLog, FirstLineCreatesFoldersThenLinesAppend) {
    const std::wstring root = fresh_directory(L"log-first");
    EnvironmentOverride local(L"LOCALAPPDATA", root.c_str());
    win::WindowsPlatform os;
    write_log_line(os, "one");
    write_log_line(os, "two\nlines");
    const std::string log = read_file(root + L"\\Pelko\\logs\\setup.log");
    const std::string pid = std::to_string(GetCurrentProcessId());
    // "{ms} pid {pid} {message}\n", LF only.
    const auto first = log.find(" pid " + pid + " one\n");
    const auto second = log.find(" pid " + pid + " two\nlines\n");
    ASSERT_NE(first, std::string::npos) << log;
    ASSERT_NE(second, std::string::npos) << log;
    EXPECT_LT(first, second);
    EXPECT_EQ(log.find('\r'), std::string::npos);
    EXPECT_EQ(log.back(), '\n');
}

TEST(WindowsLog, ExistingLogIsOnlyAppendedTo) {
    const std::wstring root = fresh_directory(L"log-append");
    CreateDirectoryW((root + L"\\Pelko").c_str(), nullptr);
    CreateDirectoryW((root + L"\\Pelko\\logs").c_str(), nullptr);
    const std::string earlier(100000, 'e');
    ASSERT_TRUE(test::write_file(root + L"\\Pelko\\logs\\setup.log", earlier));
    EnvironmentOverride local(L"LOCALAPPDATA", root.c_str());
    win::WindowsPlatform os;
    write_log_line(os, "later");
    const std::string log = read_file(root + L"\\Pelko\\logs\\setup.log");
    EXPECT_EQ(log.substr(0, earlier.size()), earlier);
    EXPECT_TRUE(log.ends_with(" later\n"));
}

TEST(WindowsLog, FileWhereTheDirectoryShouldBeIsSkipped) {
    const std::wstring root = fresh_directory(L"log-blocked");
    ASSERT_TRUE(test::write_file(root + L"\\Pelko", "in the way"));
    EnvironmentOverride local(L"LOCALAPPDATA", root.c_str());
    win::WindowsPlatform os;
    write_log_line(os, "lost");  // must neither fail nor write anywhere
    EXPECT_EQ(read_file(root + L"\\Pelko"), "in the way");
}

TEST(WindowsErrorText, SystemMessagesAndNtStatus) {
    win::WindowsPlatform os;
    const std::string not_found = os_error_text(os, 2);
    EXPECT_TRUE(not_found.ends_with(". (os error 2)")) << not_found;  // trailing CR LF cut
    const std::string denied = os_error_text(os, 5);
    EXPECT_TRUE(denied.ends_with(" (os error 5)")) << denied;
    EXPECT_FALSE(denied.starts_with("OS Error")) << denied;
    // An NT status with the facility bit is looked up in ntdll's table (Windows has the text
    // there, Wine's ntdll has no message table); either way the text names the code as given.
    const std::string nt = os_error_text(os, 0xD0000022);  // STATUS_ACCESS_DENIED | 0x10000000
    EXPECT_TRUE(nt.ends_with(" (os error 3489660962)") ||
                nt == "OS Error 3489660962 (FormatMessageW() returned error 317)")
        << nt;
    EXPECT_EQ(os_error_text(os, 0x2A0B0C0D),
              "OS Error 705367053 (FormatMessageW() returned error 317)");
}

TEST(WindowsFilePath, RelativeAndLongPathsGetTheVerbatimPrefix) {
    wchar_t cwd[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, cwd);
    const std::wstring base = cwd;
    const auto path = [](const char* p) { return *win::file_path(OsString::from_utf8(p)); };
    EXPECT_EQ(path("C:\\x\\y"), L"C:\\x\\y");
    EXPECT_EQ(path("\\\\?\\C:\\x"), L"\\\\?\\C:\\x");
    EXPECT_EQ(path("rel\\f"), L"\\\\?\\" + base + (base.back() == L'\\' ? L"" : L"\\") + L"rel\\f");
    EXPECT_EQ(path("\\\\server\\share\\f"), L"\\\\server\\share\\f");
    const std::string long_unc = "\\\\server\\share\\" + std::string(250, 'a');
    EXPECT_EQ(*win::file_path(OsString::from_utf8(long_unc)),
              L"\\\\?\\UNC\\server\\share\\" + std::wstring(250, L'a'));
    const std::string long_local = "C:\\" + std::string(245, 'b');  // 248 units
    EXPECT_EQ(*win::file_path(OsString::from_utf8(long_local)),
              L"\\\\?\\C:\\" + std::wstring(245, L'b'));
    const std::string just_short = "C:\\" + std::string(244, 'b');  // 247 units
    EXPECT_EQ(*win::file_path(OsString::from_utf8(just_short)),
              L"C:\\" + std::wstring(244, L'b'));
    const auto nul = win::file_path(OsString::from_utf8(std::string("C:\\a\0b", 6)));
    ASSERT_FALSE(nul);
    EXPECT_TRUE(nul.error().kind == OsErrorKind::nul_in_string);
}

TEST(WindowsMutex, SecondCreationSeesTheFirst) {
    win::WindowsPlatform os;
    EXPECT_TRUE(os.create_named_mutex("Local\\PelkoPlatformTestMutex"));
    const auto second = os.create_named_mutex("Local\\PelkoPlatformTestMutex");
    ASSERT_FALSE(second);
    EXPECT_EQ(second.error().kind, OsErrorKind::already_exists);
}

TEST(WindowsClock, SleepLastsAtLeastTheTimeAsked) {
    win::WindowsPlatform os;
    const MonotonicTime before = os.monotonic_time();
    os.sleep(std::chrono::milliseconds(250));
    const MonotonicTime after = os.monotonic_time();
    const std::int64_t elapsed_ms =
        static_cast<std::int64_t>(after.seconds - before.seconds) * 1000 +
        (static_cast<std::int64_t>(after.nanoseconds) - before.nanoseconds) / 1'000'000;
    EXPECT_GE(elapsed_ms, 249);
    // Wall clock is 100 ns units since 1601: later than 2020-01-01.
    EXPECT_GT(os.system_time(), 132'223'104'000'000'000ULL);
}

}  // namespace
}  // namespace pelko
