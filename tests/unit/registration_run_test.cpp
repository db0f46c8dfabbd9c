// The run's registration steps: uninstall entry, shortcut, success line and the start.
#include <gtest/gtest.h>

#include "fake_platform.h"
#include "payload_builder.h"
#include "platform/path.h"

namespace pelko {
namespace {

using testing::ContainerBuilder;
using testing::FakePlatform;
using testing::raw_deflate;

constexpr const char* kLocal = "C:\\Users\\a\\AppData\\Local";
constexpr const char* kRoaming = "C:\\Users\\a\\AppData\\Roaming";
constexpr const char* kPrograms =
    "C:\\Users\\a\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
constexpr const char* kInstall = "C:\\Users\\a\\AppData\\Local\\Programs\\Pelko";
constexpr const char* kGuard = "C:\\Users\\a\\AppData\\Local\\Programs\\Pelko\\pelko-guard.exe";
constexpr std::string_view kSubkey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pelko";

std::string key(const OsString& path) { return FakePlatform::normalize(path); }
std::string key(const std::string& path) { return key(OsString::from_utf8(path)); }


// The REG_SZ text of a value (UTF-16LE with a NUL), as UTF-16.
std::u16string reg_text(const FakePlatform& os, const std::string& name) {
    const std::string& data = os.registry.at({std::string(kSubkey), name}).data;
    std::u16string units;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
        units += static_cast<char16_t>(static_cast<unsigned char>(data[i]) |
                                       (static_cast<unsigned char>(data[i + 1]) << 8));
    }
    EXPECT_EQ(units.back(), u'\0');
    units.pop_back();
    return units;
}

struct RegistrationRun : ::testing::Test {
    FakePlatform os;
    OsString local = OsString::from_utf8(kLocal);
    void SetUp() override {
        os.add_directory(kLocal);
        os.add_directory(kPrograms);
        os.set_env("LOCALAPPDATA", kLocal);
        os.set_env("APPDATA", kRoaming);
    }
    // The app and its guard, 2,048 bytes in all: an estimated size of 2 KiB.
    std::vector<std::byte> payload = raw_deflate(ContainerBuilder()
                                                     .entry("pelko.exe", std::string(1000, 'a'))
                                                     .entry("pelko-guard.exe", std::string(1048, 'g'))
                                                     .bytes);
    int run() { return testing::run_setup_to_exit(os, {payload}); }
    std::vector<std::string> log() const { return os.log_messages(local); }
    std::size_t index_of_call(std::string_view prefix) const {
        for (std::size_t i = 0; i < os.calls.size(); ++i) {
            if (os.calls[i].starts_with(prefix)) return i;
        }
        return os.calls.size();
    }
};

TEST_F(RegistrationRun, FirstRunWritesEntryShortcutSuccessLineAndStartsTheGuard) {
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(log(), (std::vector<std::string>{"setup v0.1.1, update: false",
                                               std::string("v0.1.1 installed in ") + kInstall}));
    EXPECT_EQ(os.registry.size(), 9u);
    EXPECT_EQ(reg_text(os, "InstallLocation"), u"C:\\Users\\a\\AppData\\Local\\Programs\\Pelko");
    EXPECT_EQ(os.registry.at({std::string(kSubkey), "EstimatedSize"}).data,
              std::string("\x02\0\0\0", 4));

    const auto& link = os.shortcuts.at(key(std::string(kPrograms) + "\\Pelko.lnk"));
    EXPECT_EQ(link.target, kGuard);
    EXPECT_EQ(link.icon, std::string(kInstall) + "\\pelko.exe");
    EXPECT_EQ(link.working_directory, kInstall);

    ASSERT_EQ(os.started.size(), 1u);
    EXPECT_EQ(os.started[0].program, kGuard);
    EXPECT_EQ(os.started[0].command_line, std::string("\"") + kGuard + "\"");
    EXPECT_FALSE(os.started[0].waited);
    EXPECT_TRUE(os.boxes.empty());

    // The shortcut's preload starts once the payload is read, before running copies are looked
    // for and any file is written.
    const std::size_t preload = index_of_call("preload_shell_link");
    EXPECT_EQ(os.calls_of("preload_shell_link").size(), 1u);
    EXPECT_LT(preload, index_of_call("process_snapshot"));
    EXPECT_LT(preload, index_of_call("create_for_writing"));

    // Entry, then shortcut, then the success line, then the start.
    const std::size_t last_value = index_of_call("set_registry_value NoRepair");
    const std::size_t com = index_of_call("save_shell_link");
    const std::size_t start = index_of_call("run_program");
    EXPECT_LT(last_value, com);
    EXPECT_LT(com, start);
    ASSERT_LT(start, os.calls.size());
    EXPECT_TRUE(os.calls[start - 1].starts_with("close_file")) << os.calls[start - 1];
}

TEST_F(RegistrationRun, UnsetAppDataSkipsTheShortcutSilently) {
    os.environment.erase("APPDATA");
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(log().size(), 2u);
    EXPECT_TRUE(os.calls_of("save_shell_link").empty());
    EXPECT_TRUE(os.calls_of("preload_shell_link").empty());
    EXPECT_TRUE(os.shortcuts.empty());
    EXPECT_EQ(os.started.size(), 1u);
}

TEST_F(RegistrationRun, FailedRegistrationStepsAreLoggedAndTheRunGoesOn) {
    os.directories.erase(key(std::string(kPrograms)));
    os.hresult_messages[static_cast<HResult>(0x80070003u)] =
        u"The system cannot find the path specified.\r\n";
    os.fail_with = [](std::string_view op, const std::string& name) -> std::optional<std::uint32_t> {
        if (op == "set_registry_value" && name == "Publisher") return 5;
        return std::nullopt;
    };
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(log(), (std::vector<std::string>{
                         "setup v0.1.1, update: false", "installed apps entry not written",
                         "shortcut not written: The system cannot find the path specified. "
                         "(0x80070003)",
                         std::string("v0.1.1 installed in ") + kInstall}));
    EXPECT_EQ(os.registry.size(), 8u);
    EXPECT_EQ(os.started.size(), 1u);
}

TEST_F(RegistrationRun, PayloadWithoutTheGuardEndsTheRunAfterTheSuccessLine) {
    payload = raw_deflate(ContainerBuilder().entry("pelko.exe", "app").bytes);
    EXPECT_EQ(run(), 1);
    const std::string failure =
        "Pelko not started: The system cannot find the file specified. (os error 2)";
    EXPECT_EQ(log(), (std::vector<std::string>{"setup v0.1.1, update: false",
                                               std::string("v0.1.1 installed in ") + kInstall,
                                               "failed: " + failure}));
    ASSERT_EQ(os.boxes.size(), 1u);
    EXPECT_EQ(os.boxes[0].text, "Pelko was not installed.\n\n" + failure);
    EXPECT_EQ(os.registry.size(), 9u);
    EXPECT_EQ(os.shortcuts.size(), 1u);
}

TEST_F(RegistrationRun, StartFailureInUpdateModeShowsNothing) {
    os.raw_command_line = u"setup.exe --update";
    os.fail_with = [](std::string_view op, const std::string&) -> std::optional<std::uint32_t> {
        if (op == "run_program") return 5;
        return std::nullopt;
    };
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(log().back(), "failed: Pelko not started: Access is denied. (os error 5)");
    EXPECT_TRUE(os.boxes.empty());
}

TEST_F(RegistrationRun, LoneSurrogateShowsAsReplacementInTextsButNotInPaths) {
    // LOCALAPPDATA = C:\Users\a<U+D800>b\AppData\Local
    local = OsString::from_utf16(u"C:\\Users\\a\xD800" u"b\\AppData\\Local");
    os.environment["LOCALAPPDATA"] = local;
    os.directories.insert(key(local));
    const OsString install = path_join(local, "Programs\\Pelko");
    const OsString guard = path_join(install, "pelko-guard.exe");

    EXPECT_EQ(run(), 0);
    const std::u16string shown = u"C:\\Users\\a\xFFFD" u"b\\AppData\\Local\\Programs\\Pelko";
    EXPECT_EQ(reg_text(os, "InstallLocation"), shown);
    EXPECT_EQ(reg_text(os, "DisplayIcon"), shown + u"\\pelko.exe");
    EXPECT_EQ(reg_text(os, "UninstallString"), u"\"" + shown + u"\\pelko-guard.exe\" --uninstall");
    const auto& link = os.shortcuts.begin()->second;
    EXPECT_EQ(OsString::from_utf8(link.target).to_utf16(), shown + u"\\pelko-guard.exe");
    EXPECT_EQ(OsString::from_utf8(*link.working_directory).to_utf16(), shown);
    EXPECT_EQ(log().back(), "v0.1.1 installed in " + install.to_text());
    EXPECT_NE(log().back().find("\xEF\xBF\xBD"), std::string::npos);
    ASSERT_EQ(os.started.size(), 1u);
    EXPECT_EQ(os.file(guard.wtf8()), std::string(1048, 'g')) << "installed at the exact path";
}

}  // namespace
}  // namespace pelko
