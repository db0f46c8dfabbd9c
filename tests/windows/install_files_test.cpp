// File installation with the real Win32 calls under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "payload/install/install_payload.h"
#include "os_error_texts.h"
#include "payload_builder.h"
#include "platform/windows/wide.h"
#include "platform/windows/windows_platform.h"
#include "shared/os_error_text.h"
#include "test_paths.h"

namespace pelko {
namespace {

using test::fresh_directory;
using test::narrow;
using test::read_file;

// The entries of a container of the (name, data) pairs.
std::vector<PayloadEntry> entries_of(
    std::initializer_list<std::pair<std::string, std::string>> files) {
    testing::ContainerBuilder container;
    for (const auto& [name, data] : files) container.entry(name, data);
    return testing::read_entries(container.bytes);
}

using test::os_path;

// Holds a file open without delete sharing, so it cannot be replaced while held.
struct HeldFile {
    HANDLE handle;
    explicit HeldFile(const std::wstring& path)
        : handle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                             nullptr)) {}
    ~HeldFile() { release(); }
    void release() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
    }
};

TEST(WindowsInstall, FirstInstallCreatesProgramsAndPelkoAndWritesExactBytes) {
    const std::wstring root = fresh_directory(L"install-first");
    const std::wstring dir = root + L"\\Programs\\Pelko";
    std::string binary(70000, '\0');
    for (std::size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>(i * 7);
    win::WindowsPlatform os;
    const auto total = install_payload(os, os_path(dir),
        entries_of({{"pelko.exe", binary}, {"empty.dat", ""}, {"sub/readme.txt", "read me"}}));
    ASSERT_TRUE(total.has_value()) << total.error().text;
    EXPECT_EQ(*total, binary.size() + 7);
    EXPECT_EQ(read_file(dir + L"\\pelko.exe"), binary);
    EXPECT_TRUE(test::file_exists(dir + L"\\empty.dat"));
    EXPECT_EQ(read_file(dir + L"\\empty.dat"), "");
    EXPECT_EQ(read_file(dir + L"\\sub\\readme.txt"), "read me");
    EXPECT_FALSE(test::file_exists(dir + L"\\pelko.new"));
    EXPECT_FALSE(test::file_exists(dir + L"\\empty.new"));
    EXPECT_FALSE(test::file_exists(dir + L"\\sub\\readme.new"));
}

TEST(WindowsInstall, OverAnEarlierVersionWithAStaleStagingFile) {
    const std::wstring dir = fresh_directory(L"install-over");
    ASSERT_TRUE(test::write_file(dir + L"\\pelko.exe", std::string(5000, 'o')));
    ASSERT_TRUE(test::write_file(dir + L"\\pelko.new", std::string(100000, 's')));
    ASSERT_TRUE(test::write_file(dir + L"\\keep.txt", "kept"));
    win::WindowsPlatform os;
    const auto total = install_payload(os, os_path(dir), entries_of({{"pelko.exe", "NEW"}}));
    ASSERT_TRUE(total.has_value()) << total.error().text;
    EXPECT_EQ(read_file(dir + L"\\pelko.exe"), "NEW");
    EXPECT_FALSE(test::file_exists(dir + L"\\pelko.new"));
    EXPECT_EQ(read_file(dir + L"\\keep.txt"), "kept");
}

TEST(WindowsInstall, TargetHeldForAboutTwoSecondsIsReplacedOnALaterAttempt) {
    const std::wstring dir = fresh_directory(L"install-held-briefly");
    ASSERT_TRUE(test::write_file(dir + L"\\pelko.exe", "OLD"));
    HeldFile held(dir + L"\\pelko.exe");
    ASSERT_NE(held.handle, INVALID_HANDLE_VALUE);
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::seconds(2));
        held.release();
    });
    win::WindowsPlatform os;
    const auto start = std::chrono::steady_clock::now();
    const auto total = install_payload(os, os_path(dir), entries_of({{"pelko.exe", "NEW"}}));
    const auto took = std::chrono::steady_clock::now() - start;
    releaser.join();
    ASSERT_TRUE(total.has_value()) << total.error().text;
    EXPECT_EQ(read_file(dir + L"\\pelko.exe"), "NEW");
    EXPECT_FALSE(test::file_exists(dir + L"\\pelko.new"));
    EXPECT_GE(took, std::chrono::milliseconds(1900));  // it really waited for the release
}

TEST(WindowsInstall, TargetHeldThroughEveryAttemptFailsAndLeavesItUnchanged) {
    const std::wstring dir = fresh_directory(L"install-held");
    ASSERT_TRUE(test::write_file(dir + L"\\pelko.exe", "OLD"));
    HeldFile held(dir + L"\\pelko.exe");
    ASSERT_NE(held.handle, INVALID_HANDLE_VALUE);
    win::WindowsPlatform os;
    const auto start = std::chrono::steady_clock::now();
    const auto total = install_payload(os, os_path(dir), entries_of({{"pelko.exe", "NEW"}}));
    const auto took = std::chrono::steady_clock::now() - start;
    held.release();
    ASSERT_FALSE(total.has_value());
    // The target and the last attempt's error as the system words it (Wine may answer "access
    // denied" where Windows gives a sharing violation).
    const std::string prefix = narrow(dir) + "\\pelko.exe: ";
    EXPECT_TRUE(total.error().text == prefix + test::os_error_text_of(ERROR_SHARING_VIOLATION) ||
                total.error().text == prefix + test::os_error_text_of(ERROR_ACCESS_DENIED))
        << total.error().text;
    EXPECT_GE(took, kMoveAttempts * kMovePause);
    EXPECT_EQ(read_file(dir + L"\\pelko.exe"), "OLD");
    EXPECT_FALSE(test::file_exists(dir + L"\\pelko.new"));
}

// Staging files written ahead of the moves on every processor, through the platform's threads
// and monitor: every file whole, a.dll and a.exe (which share a.new) each its own; then a target
// held through every attempt: the entries before it installed, it unchanged, and nothing of the
// entries after it on the disk.
TEST(WindowsInstall, StagedAheadOnEveryProcessor) {
    const std::wstring dir = fresh_directory(L"install-staged");
    testing::ContainerBuilder container;
    for (int i = 0; i < 60; ++i) {
        const std::string name =
            "pkg" + std::to_string(i / 10) + "/f" + std::to_string(i) + ".txt";
        container.entry(name, name + std::string(static_cast<std::size_t>(i) * 100, 'x'));
        if (i == 30) container.entry("a.dll", "the dll").entry("a.exe", "the exe");
    }
    const std::vector<PayloadEntry> entries = testing::read_entries(container.bytes);
    win::WindowsPlatform os;
    ASSERT_TRUE(install_payload(os, os_path(dir), entries, 8).has_value());
    for (const PayloadEntry& entry : entries) {
        const std::wstring path = dir + L"\\" + win::to_wide(entry.name());
        const auto data = entry.data();
        EXPECT_EQ(read_file(path), std::string(reinterpret_cast<const char*>(data.data()),
                                               data.size())) << entry.name();
    }
    EXPECT_EQ(read_file(dir + L"\\a.dll"), "the dll");
    EXPECT_FALSE(test::file_exists(dir + L"\\a.new"));

    const std::wstring later = fresh_directory(L"install-staged-held");
    ASSERT_TRUE(CreateDirectoryW((later + L"\\pkg2").c_str(), nullptr));
    ASSERT_TRUE(test::write_file(later + L"\\pkg2\\f25.txt", "OLD"));
    HeldFile held(later + L"\\pkg2\\f25.txt");
    ASSERT_NE(held.handle, INVALID_HANDLE_VALUE);
    const auto total = install_payload(os, os_path(later), entries, 8);
    held.release();
    ASSERT_FALSE(total.has_value());
    EXPECT_TRUE(total.error().text.starts_with(narrow(later) + "\\pkg2/f25.txt: "))
        << total.error().text;
    EXPECT_EQ(read_file(later + L"\\pkg2\\f25.txt"), "OLD");
    EXPECT_TRUE(test::file_exists(later + L"\\pkg2\\f24.txt"));
    for (int i = 25; i < 60; ++i) {
        const std::wstring stem =
            later + L"\\pkg" + std::to_wstring(i / 10) + L"\\f" + std::to_wstring(i);
        EXPECT_FALSE(test::file_exists(stem + L".new")) << i;
        if (i > 25) {
            EXPECT_FALSE(test::file_exists(stem + L".txt")) << i;
        }
    }
}

TEST(WindowsInstall, FileWhereTheInstallDirectoryShouldBeGivesError183) {
    const std::wstring root = fresh_directory(L"install-blocked");
    CreateDirectoryW((root + L"\\Programs").c_str(), nullptr);
    ASSERT_TRUE(test::write_file(root + L"\\Programs\\Pelko", "in the way"));
    win::WindowsPlatform os;
    const auto total = install_payload(os, os_path(root + L"\\Programs\\Pelko"),
                                       entries_of({{"pelko.exe", "APP"}}));
    ASSERT_FALSE(total.has_value());
    EXPECT_EQ(total.error().text, os_error_text(os, 183));
    EXPECT_EQ(total.error().text.find(narrow(root)), std::string::npos);  // no path in it
    EXPECT_EQ(read_file(root + L"\\Programs\\Pelko"), "in the way");
}

}  // namespace
}  // namespace pelko
