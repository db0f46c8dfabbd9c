// What a first install registers, through the built exe: the nine uninstall values, the Start
// Menu shortcut, and the start of the guard with its exact command line and directory.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "expected.h"
#include "e2e_support.h"
#include "launch.h"
#include "readback.h"
#include "test_paths.h"

namespace pelko {
namespace {

struct RegistrationRun : test::SeparateUser {
    std::wstring roaming, programs, start_log;

    void SetUp() override {
        fresh(L"e2e-registration");
        roaming = local + L"\\Roaming";
        programs = roaming + L"\\Microsoft\\Windows\\Start Menu\\Programs";
        start_log = local + L"\\guard-start.txt";
        test::create_directories(programs);
        RegDeleteTreeW(HKEY_CURRENT_USER, test::kUninstallKey);
    }

    std::optional<DWORD> run_setup_exe(const std::wstring& cwd) {
        test::LaunchOptions launch = test::setup_launch(
            L"", {{L"LOCALAPPDATA", local}, {L"APPDATA", roaming}, {L"PELKO_DEMO_START_LOG", start_log}});
        launch.working_directory = cwd;
        return test::run_program(launch);
    }
};

TEST_F(RegistrationRun, FirstInstallRegistersTheAppAndStartsTheGuard) {
    // A value the installer does not write stays as it is.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, test::kUninstallKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    const std::wstring comment = L"kept";
    RegSetValueExW(key, L"Comments", 0, REG_SZ, reinterpret_cast<const BYTE*>(comment.c_str()),
                   static_cast<DWORD>(2 * (comment.size() + 1)));
    RegCloseKey(key);

    const std::wstring cwd = test::fresh_directory(L"e2e-registration-cwd");
    ASSERT_EQ(run_setup_exe(cwd), 0u);

    const std::wstring guard = install_dir + L"\\pelko-guard.exe";
    const std::wstring app = install_dir + L"\\pelko.exe";
    std::uint64_t total = 0;
    for (const wchar_t* name : {L"pelko.exe", L"pelko-guard.exe", L"pelko-temp.exe",
                                L"driver\\setup-driver.exe", L"driver\\license.txt"}) {
        std::error_code missing;
        total += std::filesystem::file_size(install_dir + L"\\" + name, missing);
        ASSERT_FALSE(missing) << test::narrow(name);
    }
    std::vector<testing::ExpectedValue> expected =
        testing::expected_uninstall_values(test::narrow(install_dir), total);
    expected.insert(expected.begin(), {"Comments", REG_SZ, testing::reg_sz("kept")});
    EXPECT_EQ(test::read_uninstall_values(), expected);

    const std::optional<test::ShortcutProperties> shortcut = test::read_shortcut(programs + L"\\Pelko.lnk");
    ASSERT_TRUE(shortcut.has_value());
    EXPECT_EQ(shortcut->target, guard);
    EXPECT_EQ(shortcut->working_directory, install_dir);
    EXPECT_EQ(shortcut->icon, app);
    EXPECT_EQ(shortcut->icon_index, 0);
    EXPECT_EQ(shortcut->description, L"Pelko, Windows UI customizer");

    // The guard got its quoted path alone and the installer's working directory.
    std::string started;
    for (int i = 0; i < 100 && started.empty(); ++i, Sleep(50)) started = test::read_file(start_log);
    EXPECT_EQ(started, "\"" + test::narrow(guard) + "\"\n" + test::narrow(cwd) + "\n");

    // Exactly two lines: the start and the success.
    EXPECT_EQ(test::log_messages(local),
              (std::vector<std::string>{testing::start_line(false),
                                        testing::success_line(test::narrow(install_dir))}));
}

TEST_F(RegistrationRun, MissingProgramsFolderIsLoggedAndTheRunSucceeds) {
    test::remove_tree(programs);
    ASSERT_EQ(run_setup_exe(local), 0u);
    const std::vector<std::string> messages = test::log_messages(local);
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_TRUE(messages[1].starts_with(testing::shortcut_not_written_line(""))) << messages[1];
    EXPECT_TRUE(messages[1].ends_with("(0x80070003)")) << messages[1];
    EXPECT_EQ(messages[2], testing::success_line(test::narrow(install_dir)));
    EXPECT_FALSE(test::file_exists(programs + L"\\Pelko.lnk"));
}

}  // namespace
}  // namespace pelko
