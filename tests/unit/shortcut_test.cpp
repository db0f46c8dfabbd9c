#include "registration/shortcut.h"

#include <gtest/gtest.h>

#include "fake_platform.h"

namespace pelko {
namespace {

using testing::FakePlatform;

constexpr const char* kPrograms = "C:\\Users\\a\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
constexpr const char* kLink =
    "C:\\Users\\a\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Pelko.lnk";
constexpr const char* kGuard = "C:\\Users\\a\\AppData\\Local\\Programs\\Pelko\\pelko-guard.exe";
constexpr const char* kApp = "C:\\Users\\a\\AppData\\Local\\Programs\\Pelko\\pelko.exe";

constexpr HResult hr(std::uint32_t code) { return static_cast<HResult>(code); }

// The link the fake saved at `path`.
const ShellLink& saved(const FakePlatform& os, const char* path) {
    return os.shortcuts.at(FakePlatform::normalize(OsString::from_utf8(path)));
}

TEST(Shortcut, SavesTheGuardInItsFolderWithTheAppsIconAndTheDescription) {
    FakePlatform os;
    os.add_directory(kPrograms);
    ASSERT_TRUE(create_shortcut(os, kLink, kGuard, kApp));
    EXPECT_EQ(saved(os, kLink), (ShellLink{kLink, kGuard,
                                           "C:\\Users\\a\\AppData\\Local\\Programs\\Pelko", kApp, 0,
                                           "Pelko, Windows UI customizer"}));
    // A second run replaces it with the same properties.
    ASSERT_TRUE(create_shortcut(os, kLink, kGuard, kApp));
    EXPECT_EQ(os.shortcuts.size(), 1u);
}

TEST(Shortcut, WorkingDirectoryFollowsWindowsPathRules) {
    const std::vector<std::pair<const char*, std::optional<std::string>>> parents = {
        {"C:\\pelko-guard.exe", "C:\\"},
        {"C:\\dir\\\\pelko-guard.exe", "C:\\dir"},
        {"C:/dir/pelko-guard.exe", "C:/dir"},
        {"\\\\server\\share\\pelko-guard.exe", "\\\\server\\share\\"},
        {"pelko-guard.exe", ""},
        // No parent at all: the working directory is not set.
        {"", std::nullopt},
        {"C:", std::nullopt},
        {"C:\\", std::nullopt},
        {"\\\\server\\share", std::nullopt},
    };
    for (const auto& [target, parent] : parents) {
        FakePlatform os;
        ASSERT_TRUE(create_shortcut(os, "Pelko.lnk", target, kApp)) << target;
        EXPECT_EQ(saved(os, "Pelko.lnk").working_directory, parent) << target;
    }
}

TEST(Shortcut, TheSavesFailureIsTheShortcuts) {
    FakePlatform os;
    os.add_directory(kPrograms);
    os.shell_link_failure = ShortcutError{hr(0x80070005), "Access is denied. (0x80070005)"};
    const auto refused = create_shortcut(os, kLink, kGuard, kApp);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().result, hr(0x80070005));
    EXPECT_EQ(refused.error().text, "Access is denied. (0x80070005)");
    EXPECT_TRUE(os.shortcuts.empty());

    FakePlatform bare;  // no Programs folder
    bare.hresult_messages[hr(0x80070003)] = u"The system cannot find the path specified.\r\n";
    const auto missing = create_shortcut(bare, kLink, kGuard, kApp);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().text, "The system cannot find the path specified. (0x80070003)");
}

TEST(ShortcutErrorText, MessageThenHresultForm) {
    // Trailing tab, LF, VT, FF, CR and blanks go; inner white space stays.
    EXPECT_EQ(shortcut_error_text(hr(0x80070005), u"Restricted text.\r\n\t\v\f "),
              "Restricted text. (0x80070005)");
    EXPECT_EQ(shortcut_error_text(hr(0x80004005), u" a\r\nb\xD800 "),
              " a\r\nb\xEF\xBF\xBD (0x80004005)");  // a lone surrogate shows as U+FFFD
    // No message, or white space only: the HRESULT form alone.
    EXPECT_EQ(shortcut_error_text(hr(0x8000FFFF), u""), "0x8000FFFF");
    EXPECT_EQ(shortcut_error_text(hr(0x80070005), u" \r\n"), "0x80070005");
    // Ten characters, upper case, zero-filled.
    EXPECT_EQ(shortcut_error_text(hr(0x800700AB), u""), "0x800700AB");
    EXPECT_EQ(shortcut_error_text(hr(0x0000ABCD), u""), "0x0000ABCD");
}

TEST(StartMenuProgramsDir, FromAppData) {
    FakePlatform os;
    EXPECT_FALSE(start_menu_programs_dir(os).has_value());
    const auto dir_for = [&](const char* app_data) {
        os.set_env("APPDATA", app_data);
        return start_menu_programs_dir(os)->to_text();
    };
    EXPECT_EQ(dir_for("C:\\Users\\a\\AppData\\Roaming"), kPrograms);
    EXPECT_EQ(dir_for("C:\\Users\\a\\AppData\\Roaming\\"), kPrograms);
    EXPECT_EQ(dir_for(""), "Microsoft\\Windows\\Start Menu\\Programs");
    EXPECT_EQ(dir_for("D:"), "D:Microsoft\\Windows\\Start Menu\\Programs");
}

}  // namespace
}  // namespace pelko
