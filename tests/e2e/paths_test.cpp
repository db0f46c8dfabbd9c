// The built installer under unusual user folders: a LOCALAPPDATA longer than 260 characters, a
// user folder with accented and CJK letters, and a folder name holding a lone UTF-16 surrogate.
// Each run installs every file in the exact folder, logs, writes the nine values of the uninstall
// entry, makes the Start Menu shortcut and starts the app. A lone surrogate shows as U+FFFD in
// every text (log line, registry values, shortcut) while the files land in the exact folder.
#include <windows.h>

#include <objbase.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>

#include "expected.h"
#include "e2e_support.h"
#include "launch.h"
#include "os_error_texts.h"
#include "reference/inflate_payload.h"
#include "payload/container/read_payload.h"
#include "platform/windows/wide.h"
#include "readback.h"
#include "test_paths.h"

namespace pelko {
namespace {

// The form of a path the test itself uses for file calls: any length.
std::wstring long_form(const std::wstring& path) { return L"\\\\?\\" + path; }

std::wstring wide_text(const std::string& utf8) { return win::to_wide(std::string_view(utf8)); }

// The executable paths of the running copies of a program.
std::vector<std::wstring> running_images(const wchar_t* name) {
    std::vector<std::wstring> images;
    for (const DWORD id : test::running(name)) {
        const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
        if (!process) continue;
        std::wstring image(32768, L'\0');
        DWORD size = static_cast<DWORD>(image.size());
        if (QueryFullProcessImageNameW(process, 0, image.data(), &size)) {
            image.resize(size);
            images.push_back(image);
        }
        CloseHandle(process);
    }
    return images;
}

// The text as the system's ANSI code page keeps it (what a Shell link stores as its target
// under Wine, which writes the target path in that code page only).
std::wstring through_ansi(const std::wstring& text) {
    const int bytes = WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()),
                                          nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), ansi.data(), bytes,
                        nullptr, nullptr);
    const int units = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), bytes, nullptr, 0);
    std::wstring back(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), bytes, back.data(), units);
    return back;
}

// The path made absolute by the system, ".." levels taken away.
std::wstring resolved(const std::wstring& path) {
    std::wstring full(32768, L'\0');
    full.resize(GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(),
                                 nullptr));
    return full;
}

// Whether the run is to start the app. A program whose path has 260 or more UTF-16 units cannot
// be started under Wine: CreateProcessW fails with error 2 for the plain, the \\?\ and the 8.3
// form of such a path alike.
enum class AppStart { started, path_too_long };

// Installs the demo payload with LOCALAPPDATA `local` and APPDATA `roaming` and checks the files,
// the log, the uninstall entry, the shortcut and the started app.
void install_and_check(const std::wstring& local, const std::wstring& roaming,
                       AppStart start = AppStart::started) {
    ASSERT_FALSE(test::app_running()) << "a copy of the app from elsewhere is still running";
    const std::wstring install_dir = local + L"\\Programs\\Pelko";
    const std::wstring programs = roaming + L"\\Microsoft\\Windows\\Start Menu\\Programs";
    test::create_directories(long_form(resolved(programs)));
    RegDeleteTreeW(HKEY_CURRENT_USER, test::kUninstallKey);

    // The texts: every lone surrogate as U+FFFD.
    const std::string install_text = test::narrow(install_dir);
    const std::wstring install_shown = wide_text(install_text);
    std::cout << "LOCALAPPDATA of " << local.size() << " UTF-16 units: " << test::narrow(local)
              << "\n";

    const bool update = start == AppStart::path_too_long;  // a failure shows no box then
    const auto code = test::run_program(
        test::setup_launch(update ? L" --update" : L"",
                           {{L"LOCALAPPDATA", local}, {L"APPDATA", roaming}}),
        120000);
    std::vector<std::string> expected_log = testing::expected_run_log(update, install_text);
    if (start == AppStart::started) {
        ASSERT_EQ(code, 0u);
        // The app the run started, from the exact folder.
        std::vector<std::wstring> apps;
        for (int i = 0; i < 100 && apps.empty(); ++i) {
            apps = running_images(L"pelko.exe");
            if (apps.empty()) Sleep(50);
        }
        ASSERT_EQ(apps.size(), 1u) << "the app is not running";
        EXPECT_EQ(apps[0], resolved(install_dir) + L"\\pelko.exe");
        EXPECT_EQ(running_images(L"pelko-guard.exe"),
                  std::vector<std::wstring>{resolved(install_dir) + L"\\pelko-guard.exe"});
    } else {
        EXPECT_EQ(code, 1u);
        expected_log.push_back(
            testing::failed_line(testing::not_started_failure(test::os_error_text_of(2))));
    }

    // Every file, byte for byte, in the exact folder; no staging file.
    const std::vector<PayloadEntry> entries = test::demo_entries();
    ASSERT_EQ(entries.size(), 5u);
    std::uint64_t total = 0;
    for (const PayloadEntry& entry : entries) {
        const std::wstring relative = test::wine_path(entry.name()).substr(2);
        const std::string installed =
            test::read_file(long_form(resolved(install_dir) + L"\\" + relative));
        EXPECT_TRUE(installed == std::string(reinterpret_cast<const char*>(entry.data().data()),
                                             entry.data().size()))
            << entry.name() << ": " << installed.size() << " bytes";
        total += entry.size();
    }
    EXPECT_FALSE(test::file_exists(long_form(resolved(install_dir) + L"\\pelko.new")));
    EXPECT_FALSE(
        test::file_exists(long_form(resolved(install_dir) + L"\\driver\\setup-driver.new")));

    EXPECT_EQ(test::log_messages(long_form(resolved(local))), expected_log);

    EXPECT_EQ(test::read_uninstall_values(),
              testing::expected_uninstall_values(test::narrow(install_shown), total));

    const std::optional<test::ShortcutProperties> link = test::read_shortcut(long_form(resolved(programs) + L"\\Pelko.lnk"));
    ASSERT_TRUE(link.has_value()) << "no shortcut";
    // The target as given, or as Wine's link object keeps it: made absolute (GetFullPathNameW)
    // and stored in the ANSI code page, and not at all when it has MAX_PATH units or more.
    const std::wstring target = install_shown + L"\\pelko-guard.exe";
    EXPECT_TRUE(link->target == target || link->target == through_ansi(resolved(target)) ||
                (target.size() >= MAX_PATH && link->target.empty()))
        << test::narrow(link->target);
    EXPECT_EQ(link->working_directory, install_shown);
    EXPECT_EQ(link->icon, install_shown + L"\\pelko.exe");
    EXPECT_EQ(link->description, L"Pelko, Windows UI customizer");
}

struct Paths : ::testing::Test {
    std::wstring scratch;
    std::wstring local;
    void TearDown() override {
        test::end_app(local + L"\\Programs\\Pelko");
        RegDeleteTreeW(HKEY_CURRENT_USER, test::kUninstallKey);
        test::remove_tree(long_form(scratch));
    }
    // A LOCALAPPDATA under the scratch folder, made as long as asked with levels of 40 letters.
    std::wstring long_local(std::size_t length) {
        std::wstring path = scratch;
        while (path.size() + 41 + 14 < length) path += L"\\Users-of-a-long-named-organisation-unit";
        path += L"\\" + std::wstring(length - path.size() - 15, L'u') + L"\\AppData\\Local";
        return path;
    }
};

TEST_F(Paths, LocalAppDataLongerThan260Characters) {
    scratch = test::fresh_directory(L"e2e-paths-long");
    local = long_local(300);
    ASSERT_EQ(local.size(), 300u);
    install_and_check(local, scratch + L"\\Roaming", AppStart::path_too_long);
}

TEST_F(Paths, FilePathsOverTheLongPathLimitAppStillStartable) {
    // The files' paths pass 248 units (the \\?\ form); the guard's stays below 260.
    scratch = test::fresh_directory(L"e2e-paths-near");
    local = long_local(227);
    ASSERT_EQ(local.size(), 227u);
    install_and_check(local, scratch + L"\\Roaming");
}

TEST_F(Paths, UserFolderWithAccentedAndCjkLetters) {
    scratch = test::fresh_directory(L"e2e-paths-unicode");
    local = scratch + L"\\Users\\\u00C5sa \u00DCmit \u00E9\u00EF\u00F8 \u7528\u6237 \u30C6\u30B9\u30C8"
                      L" \U0001F600\\AppData\\Local";
    install_and_check(local, scratch + L"\\Users\\Roaming \u4E2D\u6587");
}

std::wstring lone_surrogate_name() {
    std::wstring name = L"lone-";
    name += static_cast<wchar_t>(0xD800);
    name += L"-surrogate";
    return name;
}

TEST_F(Paths, FolderNameWithALoneSurrogate) {
    scratch = test::fresh_directory(L"e2e-paths-surrogate");
    const std::wstring user = scratch + L"\\" + lone_surrogate_name();
    if (CreateDirectoryW(user.c_str(), nullptr)) {
        local = user + L"\\Local";
    } else {
        // Wine keeps file names as UTF-8 and cannot hold a lone surrogate (error 2). The path
        // still carries one, in a level that ".." takes away again.
        std::cout << "no folder with a lone surrogate here (error " << GetLastError()
                  << "); using " << "<scratch>\\lone-\xEF\xBF\xBD-surrogate\\..\\Local\n";
        local = user + L"\\..\\Local";
    }
    install_and_check(local, scratch + L"\\Roaming");
    EXPECT_NE(test::narrow(local).find("lone-\xEF\xBF\xBD-surrogate"), std::string::npos);
    // Nothing went to a folder named with U+FFFD instead.
    EXPECT_FALSE(test::file_exists(scratch + L"\\lone-\uFFFD-surrogate"));
}

TEST_F(Paths, LoneSurrogateFolderThatCannotExistIsNotReplacedByItsText) {
    // Where the file system cannot hold the name, the run fails; it never writes to the folder
    // that the name's text (with U+FFFD) would give.
    scratch = test::fresh_directory(L"e2e-paths-surrogate-missing");
    local = scratch + L"\\" + lone_surrogate_name() + L"\\Local";
    const std::wstring user = scratch + L"\\" + lone_surrogate_name();
    if (CreateDirectoryW(user.c_str(), nullptr)) GTEST_SKIP() << "this file system keeps the name";
    test::Process setup = test::start_program(
        test::setup_launch(L" --update", {{L"LOCALAPPDATA", local}, {L"APPDATA", std::nullopt}}));
    ASSERT_TRUE(setup.valid());
    EXPECT_FALSE(test::shows_window(setup.id(), 1500));
    EXPECT_EQ(setup.wait(30000), 1u);
    std::vector<std::wstring> names;
    for (const auto& entry : std::filesystem::directory_iterator(scratch)) {
        names.push_back(entry.path().filename().wstring());
    }
    EXPECT_TRUE(names.empty()) << test::narrow(names.front());
}

}  // namespace
}  // namespace pelko
