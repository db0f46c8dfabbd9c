// The run's registration steps: uninstall entry, shortcut, success line and the start.
#include <gtest/gtest.h>

#include "expected.h"
#include "fake_platform.h"
#include "payload_builder.h"
#include "platform/path.h"
#include "registration/uninstall_entry.h"

namespace pelko {
namespace {

using testing::ContainerBuilder;
using testing::FakePlatform;
using testing::raw_deflate;

const std::string kPrograms =
    std::string(testing::kFakeAppData) + "\\Microsoft\\Windows\\Start Menu\\Programs";
const std::string kInstall = testing::install_dir_of();
const std::string kGuard = testing::guard_exe_of();

std::string key(const OsString& path) { return FakePlatform::normalize(path); }
std::string key(const std::string& path) { return key(OsString::from_utf8(path)); }

// What a run has done at some moment: the registry values and shortcuts written, the log.
struct Done {
    std::size_t values = 0, shortcuts = 0;
    std::vector<std::string> log;
    friend bool operator==(const Done&, const Done&) = default;
    friend void PrintTo(const Done& done, std::ostream* out) {
        *out << done.values << " values, " << done.shortcuts << " shortcuts, log "
             << ::testing::PrintToString(done.log);
    }
};

struct RegistrationRun : ::testing::Test {
    FakePlatform os;
    OsString local = OsString::from_utf8(testing::kFakeLocalAppData);
    void SetUp() override {
        os.add_directory(std::string(testing::kFakeLocalAppData));
        os.add_directory(kPrograms);
        os.set_env("LOCALAPPDATA", std::string(testing::kFakeLocalAppData));
        os.set_env("APPDATA", std::string(testing::kFakeAppData));
    }
    // The app and its guard, 2,048 bytes in all: an estimated size of 2 KiB.
    std::vector<std::byte> payload = raw_deflate(ContainerBuilder()
                                                     .entry("pelko.exe", std::string(1000, 'a'))
                                                     .entry("pelko-guard.exe", std::string(1048, 'g'))
                                                     .bytes);
    int run() { return testing::run_setup_to_exit(os, {payload}); }
    std::vector<std::string> log() const { return os.log_messages(local); }
    Done done() const { return Done{os.registry.size(), os.shortcuts.size(), log()}; }
};

TEST_F(RegistrationRun, FirstRunWritesEntryShortcutSuccessLineAndStartsTheGuard) {
    // What was done when each line of the log was written, and when the guard was started.
    std::vector<Done> at_log_line;
    std::optional<Done> at_start;
    // The shortcut's preload: the bytes of the payload in memory, the install directory.
    std::optional<std::pair<std::uint64_t, bool>> at_preload;
    os.fail_with = [&](std::string_view op,
                       const std::string& arg) -> std::optional<std::uint32_t> {
        if (op == "write_file" && arg.starts_with(key(path_join(local, "Pelko\\logs")))) {
            at_log_line.push_back(done());
        }
        if (op == "run_program") at_start = done();
        if (op == "preload_shell_link") {
            at_preload = {os.memory_in_use(), os.directories.contains(key(kInstall))};
        }
        return std::nullopt;
    };

    EXPECT_EQ(run(), 0);
    EXPECT_EQ(log(), testing::expected_run_log(false, kInstall));
    EXPECT_EQ(os.registry_values(kUninstallSubkey),
              testing::expected_uninstall_values(kInstall, 2048));

    const auto& link = os.shortcuts.at(key(kPrograms + "\\Pelko.lnk"));
    EXPECT_EQ(link.target, kGuard);
    EXPECT_EQ(link.icon, testing::app_exe_of());
    EXPECT_EQ(link.working_directory, kInstall);

    ASSERT_EQ(os.started.size(), 1u);
    EXPECT_EQ(os.started[0].program, kGuard);
    EXPECT_EQ(os.started[0].command_line, "\"" + kGuard + "\"");
    EXPECT_FALSE(os.started[0].waited);
    EXPECT_TRUE(os.boxes.empty());

    // The entry's nine values and the shortcut are there before the success line is written,
    // and the success line before the guard is started.
    ASSERT_EQ(at_log_line.size(), 2u);
    EXPECT_EQ(at_log_line[1], (Done{9, 1, {testing::start_line(false)}}));
    EXPECT_EQ(at_start, (Done{9, 1, log()}));
    // The shortcut's preload starts once the payload's 2,048 bytes are read into memory and
    // before the install directory (and so any file in it) is made.
    ASSERT_TRUE(at_preload.has_value()) << "no preload";
    EXPECT_GE(at_preload->first, 2048u);
    EXPECT_FALSE(at_preload->second);
}

TEST_F(RegistrationRun, UnsetAppDataSkipsTheShortcutSilently) {
    os.environment.erase("APPDATA");
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(log().size(), 2u);
    EXPECT_TRUE(os.shortcuts.empty());
    // Nor is the link object made ready for nothing (a thread and the Shell's libraries).
    EXPECT_TRUE(os.calls_of("preload_shell_link").empty());
    EXPECT_EQ(os.started.size(), 1u);
}

TEST_F(RegistrationRun, FailedRegistrationStepsAreLoggedAndTheRunGoesOn) {
    os.directories.erase(key(kPrograms));
    os.hresult_messages[static_cast<HResult>(0x80070003u)] =
        u"The system cannot find the path specified.\r\n";
    os.fail_with = [](std::string_view op, const std::string& name) -> std::optional<std::uint32_t> {
        if (op == "set_registry_value" && name == "Publisher") return 5;
        return std::nullopt;
    };
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(log(), (std::vector<std::string>{
                         testing::start_line(false), testing::entry_not_written_line(),
                         testing::shortcut_not_written_line(
                             "The system cannot find the path specified. (0x80070003)"),
                         testing::success_line(kInstall)}));
    EXPECT_EQ(os.registry.size(), 8u);
    EXPECT_EQ(os.started.size(), 1u);
}

TEST_F(RegistrationRun, PayloadWithoutTheGuardEndsTheRunAfterTheSuccessLine) {
    payload = raw_deflate(ContainerBuilder().entry("pelko.exe", "app").bytes);
    EXPECT_EQ(run(), 1);
    const std::string failure =
        testing::not_started_failure("The system cannot find the file specified. (os error 2)");
    EXPECT_EQ(log(), (std::vector<std::string>{testing::start_line(false),
                                               testing::success_line(kInstall),
                                               testing::failed_line(failure)}));
    ASSERT_EQ(os.boxes.size(), 1u);
    EXPECT_EQ(os.boxes[0].text, testing::failure_box(failure));
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
    EXPECT_EQ(log().back(),
              testing::failed_line(testing::not_started_failure("Access is denied. (os error 5)")));
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
    const std::string shown = install.to_text();  // U+FFFD for the lone surrogate
    EXPECT_NE(shown.find("\xEF\xBF\xBD"), std::string::npos);
    EXPECT_EQ(os.registry_values(kUninstallSubkey),
              testing::expected_uninstall_values(shown, 2048));
    const auto& link = os.shortcuts.begin()->second;
    EXPECT_EQ(link.target, testing::guard_exe_of(shown));
    EXPECT_EQ(link.working_directory, shown);
    EXPECT_EQ(log().back(), testing::success_line(shown));
    ASSERT_EQ(os.started.size(), 1u);
    EXPECT_EQ(os.file(guard.wtf8()), std::string(1048, 'g')) << "installed at the exact path";
}

}  // namespace
}  // namespace pelko
