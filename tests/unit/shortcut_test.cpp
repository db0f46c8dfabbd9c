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

// Makes `operation` fail with `code`.
void fail(FakePlatform& os, std::string operation, std::uint32_t code) {
    os.fail_with = [operation, code](std::string_view op,
                                     const std::string&) -> std::optional<std::uint32_t> {
        if (op == operation) return code;
        return std::nullopt;
    };
}

const std::vector<std::string> kSuccessCalls = {
    "com_initialize",
    "create_shell_link",
    std::string("shell_link_set_path ") + kGuard,
    "shell_link_set_working_directory C:\\Users\\a\\AppData\\Local\\Programs\\Pelko",
    std::string("shell_link_set_icon_location ") + kApp + ",0",
    "shell_link_set_description Pelko, Windows UI customizer",
    "query_persist_file",
    std::string("persist_file_save ") + kLink + " remember",
    "com_release persist_file",
    "com_release shell_link",
    "com_uninitialize",
};

struct Shortcut : ::testing::Test {
    FakePlatform os;
    void SetUp() override { os.add_directory(kPrograms); }
    std::expected<void, ShortcutError> create(const char* target = kGuard) {
        return create_shortcut(os, kLink, target, kApp);
    }
};

TEST_F(Shortcut, SetsFourPropertiesSavesAndReleasesInOrder) {
    ASSERT_TRUE(create());
    EXPECT_EQ(os.calls, kSuccessCalls);
    EXPECT_TRUE(os.com_objects.empty());
    const auto& saved = os.shortcuts.at(FakePlatform::normalize(OsString::from_utf8(kLink)));
    EXPECT_EQ(saved.target, kGuard);
    EXPECT_EQ(saved.working_directory, "C:\\Users\\a\\AppData\\Local\\Programs\\Pelko");
    EXPECT_EQ(saved.icon, kApp);
    EXPECT_EQ(saved.icon_index, 0);
    EXPECT_EQ(saved.description, "Pelko, Windows UI customizer");
}

TEST_F(Shortcut, FirstFailureStopsTakesErrorInfoAndReleasesWhatExists) {
    // (failing operation, number of calls made up to and including it, objects to release)
    struct Case {
        std::string operation;
        std::size_t made;
        std::vector<std::string> released;
    };
    const std::vector<Case> cases = {
        {"create_shell_link", 2, {}},
        {"shell_link_set_path", 3, {"com_release shell_link"}},
        {"shell_link_set_working_directory", 4, {"com_release shell_link"}},
        {"shell_link_set_icon_location", 5, {"com_release shell_link"}},
        {"shell_link_set_description", 6, {"com_release shell_link"}},
        {"query_persist_file", 7, {"com_release shell_link"}},
        {"persist_file_save", 8, {"com_release persist_file", "com_release shell_link"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.operation);
        FakePlatform fresh;
        fresh.add_directory(kPrograms);
        fail(fresh, c.operation, 0x80070005);
        {
            const auto result = create_shortcut(fresh, kLink, kGuard, kApp);
            ASSERT_FALSE(result);
            EXPECT_EQ(result.error().result(), hr(0x80070005));
            std::vector<std::string> expected(kSuccessCalls.begin(),
                                              kSuccessCalls.begin() + static_cast<long>(c.made));
            expected.push_back("take_error_info");
            expected.insert(expected.end(), c.released.begin(), c.released.end());
            expected.push_back("com_uninitialize");
            EXPECT_EQ(fresh.calls, expected);
        }
        EXPECT_TRUE(fresh.com_objects.empty());
        EXPECT_TRUE(fresh.shortcuts.empty());
    }
}

TEST_F(Shortcut, FailedInitialisationOnlySkipsTheUninitialisation) {
    fail(os, "com_initialize", 0x80010106);  // RPC_E_CHANGED_MODE
    ASSERT_TRUE(create());
    std::vector<std::string> expected = kSuccessCalls;
    expected.pop_back();
    EXPECT_EQ(os.calls, expected);

    FakePlatform both;
    both.fail_with = [](std::string_view op, const std::string&) -> std::optional<std::uint32_t> {
        if (op == "com_initialize") return 0x80010106;
        if (op == "create_shell_link") return 0x800401F0;  // CO_E_NOTINITIALIZED
        return std::nullopt;
    };
    const auto result = create_shortcut(both, kLink, kGuard, kApp);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().result(), hr(0x800401F0));
    EXPECT_EQ(both.calls, (std::vector<std::string>{"com_initialize", "create_shell_link",
                                                    "take_error_info"}));
}

TEST_F(Shortcut, AlreadyInitialisedApartmentIsStillClosed) {
    fail(os, "com_initialize", 1);  // S_FALSE: a success
    ASSERT_TRUE(create());
    EXPECT_EQ(os.calls.back(), "com_uninitialize");
}

TEST_F(Shortcut, QueryWithoutInterfaceIsAPointerError) {
    os.persist_file_missing = true;
    const auto result = create();
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().result(), hr(0x80004003));
    EXPECT_EQ(os.calls_of("persist_file_save").size(), 0u);
    EXPECT_EQ(os.calls_of("com_release"), (std::vector<std::string>{"com_release shell_link"}));
}

TEST_F(Shortcut, MissingFolderFailsTheSave) {
    FakePlatform bare;  // no Programs folder
    bare.hresult_messages[hr(0x80070003)] = u"The system cannot find the path specified.\r\n";
    const auto result = create_shortcut(bare, kLink, kGuard, kApp);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().text(), "The system cannot find the path specified. (0x80070003)");
}

TEST_F(Shortcut, WorkingDirectoryFollowsWindowsPathRules) {
    const std::vector<std::pair<const char*, const char*>> parents = {
        {"C:\\pelko-guard.exe", "C:\\"},
        {"C:\\dir\\\\pelko-guard.exe", "C:\\dir"},
        {"C:/dir/pelko-guard.exe", "C:/dir"},
        {"\\\\server\\share\\pelko-guard.exe", "\\\\server\\share\\"},
        {"pelko-guard.exe", ""},
    };
    for (const auto& [target, parent] : parents) {
        FakePlatform fresh;
        ASSERT_TRUE(create_shortcut(fresh, "Pelko.lnk", target, kApp)) << target;
        EXPECT_EQ(fresh.calls_of("shell_link_set_working_directory"),
                  (std::vector<std::string>{
                      std::string("shell_link_set_working_directory") + (*parent ? " " : "") +
                      parent}))
            << target;
    }
    for (const char* target : {"", "C:", "C:\\", "\\\\server\\share"}) {
        FakePlatform fresh;
        ASSERT_TRUE(create_shortcut(fresh, "Pelko.lnk", target, kApp)) << target;
        EXPECT_TRUE(fresh.calls_of("shell_link_set_working_directory").empty()) << target;
        EXPECT_EQ(fresh.calls.size(), kSuccessCalls.size() - 1) << target;
    }
}

TEST_F(Shortcut, ErrorOwnsTheErrorInfoUntilDropped) {
    os.pending_error_info = u"Access is denied by policy.";
    fail(os, "persist_file_save", 0x80070005);
    {
        auto result = create();
        ASSERT_FALSE(result);
        // Held past the apartment's end, released only with the error.
        EXPECT_EQ(os.calls.back(), "com_uninitialize");
        ASSERT_EQ(os.com_objects.size(), 1u);
        EXPECT_EQ(os.com_objects.begin()->second, "error_info");
        ShortcutError moved = std::move(result.error());
        ShortcutError assigned(os, hr(0x80004005), ComObject{});
        assigned = std::move(moved);
        EXPECT_EQ(assigned.text(), "Access is denied by policy. (0x80070005)");
        EXPECT_EQ(os.com_objects.size(), 1u);
    }
    EXPECT_TRUE(os.com_objects.empty());
    EXPECT_EQ(os.calls_of("com_release error_info").size(), 1u);
    EXPECT_TRUE(os.calls_of("com_release ?").empty());
}

TEST(ShortcutErrorText, MessageSources) {
    FakePlatform os;
    const auto with_info = [&](const std::u16string& message, std::uint32_t code) {
        os.pending_error_info = message;
        return ShortcutError(os, hr(code), os.take_error_info()).text();
    };
    os.hresult_messages[hr(0x80070005)] = u"Access is denied.\r\n";

    // The error-information object alone speaks; trailing tab, LF, VT, FF, CR and blanks go.
    EXPECT_EQ(with_info(u"Restricted text.\r\n\t\v\f ", 0x80070005), "Restricted text. (0x80070005)");
    EXPECT_TRUE(os.calls_of("hresult_message").empty());
    // An empty message from the object does not fall back to the system's table.
    EXPECT_EQ(with_info(u"", 0x80070005), "0x80070005");
    EXPECT_EQ(with_info(u" \r\n", 0x80070005), "0x80070005");
    EXPECT_TRUE(os.calls_of("hresult_message").empty());
    // Inner white space stays; a lone surrogate shows as U+FFFD.
    EXPECT_EQ(with_info(u" a\r\nb\xD800 ", 0x80004005), " a\r\nb\xEF\xBF\xBD (0x80004005)");

    // Without the object, the system's message for the HRESULT.
    EXPECT_EQ(ShortcutError(os, hr(0x80070005), {}).text(), "Access is denied. (0x80070005)");
    EXPECT_EQ(os.calls_of("hresult_message"),
              (std::vector<std::string>{"hresult_message 2147942405"}));
    EXPECT_EQ(ShortcutError(os, hr(0x8000FFFF), {}).text(), "0x8000FFFF");
    EXPECT_TRUE(os.com_objects.empty());
}

TEST(ShortcutErrorText, HresultFormIsTenCharactersUpperCase) {
    EXPECT_EQ(hresult_text(hr(0x80004003)), "0x80004003");
    EXPECT_EQ(hresult_text(hr(0x800700AB)), "0x800700AB");
    EXPECT_EQ(hresult_text(hr(0x0000ABCD)), "0x0000ABCD");
    EXPECT_EQ(hresult_text(hr(0xFFFFFFFF)), "0xFFFFFFFF");
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
