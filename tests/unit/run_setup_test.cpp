#include "setup/run_setup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <utility>

#include "expected.h"
#include "fake_platform.h"
#include "payload_builder.h"

namespace pelko {
namespace {

using testing::FakePlatform;

std::vector<std::string> log_messages(const FakePlatform& os) { return os.user_log(); }

// A raw DEFLATE stream of zero bytes: one final fixed-Huffman block holding only its end.
constexpr std::byte kEmptyPayload[] = {std::byte{0x03}, std::byte{0x00}};

struct RunSetup : ::testing::Test {
    FakePlatform os;
    void SetUp() override {
        os.add_user();
    }
    // The installed guard executable, so that a run can start it at its end.
    void add_guard() {
        os.files[FakePlatform::normalize(OsString::from_utf8(testing::guard_exe_of()))];
    }
    // Runs and returns the exit code, whether the run returned or ended the process.
    int run(std::span<const std::byte> payload = kEmptyPayload) {
        return testing::run_setup_to_exit(os, {payload});
    }
};

TEST_F(RunSetup, StartLineNamesVersionAndUpdateMode) {
    add_guard();
    os.raw_command_line = u"\"C:\\dl\\pelko-setup.exe\" --update";
    EXPECT_EQ(run(), 0);
    ASSERT_FALSE(log_messages(os).empty());
    EXPECT_EQ(log_messages(os).front(), testing::start_line(true));
    EXPECT_TRUE(os.mutexes.contains("Local\\PelkoSetup"));
}

TEST_F(RunSetup, SecondSetupLogsAndEndsWithZeroWithoutWindow) {
    os.mutexes.insert("Local\\PelkoSetup");
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(log_messages(os), (std::vector<std::string>{testing::start_line(false),
                                                          "another setup is running"}));
    EXPECT_TRUE(os.boxes.empty());
}

TEST_F(RunSetup, FailingMutexCallCountsAsAnotherSetup) {
    os.fail_with = [](std::string_view op, const std::string&) -> std::optional<std::uint32_t> {
        if (op == "create_named_mutex") return 5;
        return std::nullopt;
    };
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(log_messages(os).back(), "another setup is running");
}

TEST_F(RunSetup, MissingLocalAppDataShowsTheBoxAndExitsOne) {
    os.environment.erase("LOCALAPPDATA");
    EXPECT_EQ(run(), 1);
    EXPECT_TRUE(os.files.empty());  // the log cannot be written at all
    ASSERT_EQ(os.boxes.size(), 1u);
    EXPECT_EQ(os.boxes[0].text, testing::failure_box("no LOCALAPPDATA"));
    EXPECT_EQ(os.boxes[0].caption, "Pelko Setup");
    EXPECT_EQ(os.boxes[0].style, 0x00010040u);
}

TEST_F(RunSetup, MissingLocalAppDataInUpdateModeShowsNothing) {
    os.environment.erase("LOCALAPPDATA");
    os.raw_command_line = u"setup.exe --update";
    EXPECT_EQ(run(), 1);
    EXPECT_TRUE(os.boxes.empty());
    EXPECT_TRUE(os.files.empty());
}

TEST_F(RunSetup, MemoryThatRunsOutForThePayloadEndsTheRunBeforeAnyChange) {
    const auto stored = testing::raw_deflate(testing::ContainerBuilder{}
                                                 .entry("pelko.exe", std::string(3000, 'p'))
                                                 .entry("pelko-guard.exe", std::string(5000, 'g'))
                                                 .bytes);
    os.processes = {{7, "pelko.exe", "\"C:\\Apps\\pelko.exe\""}};
    os.raw_command_line = u"setup.exe --update";
    os.memory_limit = 7999;  // the decoder's own memory comes from it too
    EXPECT_EQ(run(stored), 1);
    const auto messages = log_messages(os);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], testing::start_line(true));
    EXPECT_TRUE(std::regex_match(
        messages[1], std::regex(R"(failed: not enough memory for the payload \(\d+ bytes\))")))
        << messages[1];
    EXPECT_TRUE(os.boxes.empty());
    EXPECT_TRUE(os.started.empty());  // no copy was asked to quit
    EXPECT_FALSE(os.directories.contains(
        FakePlatform::normalize(OsString::from_utf8(std::string(testing::kFakeLocalAppData) + "\\Programs"))));
}

// The entry list of many entries, and the name check's tables of long names, come from the
// same memory as the files' buffers: running out of it is the same failure.
TEST_F(RunSetup, MemoryThatRunsOutForTheEntryListOrTheNameCheckIsThePayloadsFailure) {
    testing::ContainerBuilder many;
    for (int i = 0; i < 100'000; ++i) many.entry("a", "");
    testing::ContainerBuilder long_names;
    for (const char c : {'a', 'b', 'c'}) long_names.entry(std::string(60'000, c), "");
    const std::regex failure(R"(failed: not enough memory for the payload \(\d+ bytes\))");
    for (const auto& [container, limit] : {std::pair{&many, 5'000'000}, {&long_names, 200'000}}) {
        FakePlatform fresh;
        fresh.add_user();
        fresh.raw_command_line = u"setup.exe --update";
        fresh.processes = {{7, "pelko.exe", "\"C:\\Apps\\pelko.exe\""}};
        fresh.memory_limit = limit;
        const auto stored = testing::raw_deflate(container->bytes);
        EXPECT_EQ(testing::run_setup_to_exit(fresh, {stored}), 1);
        const auto messages = log_messages(fresh);
        ASSERT_EQ(messages.size(), 2u);
        EXPECT_TRUE(std::regex_match(messages[1], failure)) << messages[1];
        EXPECT_TRUE(fresh.boxes.empty());
        EXPECT_TRUE(fresh.started.empty());  // no copy was asked to quit
    }
}

// Memory that runs out in the program's own strings and lists, in any step, still ends the run
// as a failure with its line, and a box outside update mode.
TEST_F(RunSetup, MemoryThatRunsOutAnywhereElseEndsTheRunWithItsLine) {
    for (const bool update : {false, true}) {
        FakePlatform fresh;
        fresh.add_user();
        fresh.raw_command_line = update ? u"setup.exe --update" : u"setup.exe";
        fresh.fail_with = [&](std::string_view op,
                              const std::string&) -> std::optional<std::uint32_t> {
            if (op == "create_for_writing") fresh.run_out_of_memory();
            return std::nullopt;
        };
        const auto stored = testing::raw_deflate(
            testing::ContainerBuilder{}.entry("pelko.exe", "a").entry("pelko-guard.exe", "g").bytes);
        EXPECT_EQ(testing::run_setup_to_exit(fresh, {stored}), 1);
        EXPECT_EQ(log_messages(fresh).back(), testing::failed_line("not enough memory"));
        if (update) {
            EXPECT_TRUE(fresh.boxes.empty());
        } else {
            ASSERT_EQ(fresh.boxes.size(), 1u);
            EXPECT_EQ(fresh.boxes[0].text, testing::failure_box("not enough memory"));
        }
    }
}

// zlib's own memory (its state, its window) that cannot be had is a memory failure too, not a
// damaged payload.
TEST_F(RunSetup, MemoryThatRunsOutInsideTheDecoderIsNoDamage) {
    const auto stored = testing::raw_deflate(
        testing::ContainerBuilder{}.entry("pelko.exe", "a").entry("pelko-guard.exe", "g").bytes);
    os.memory_limit = 100;
    EXPECT_EQ(run(stored), 1);
    const std::regex failure(R"(failed: not enough memory for the payload \(\d+ bytes\))");
    EXPECT_TRUE(std::regex_match(log_messages(os).back(), failure)) << log_messages(os).back();
}

// Memory that runs out while a failure is reported ends the run with no second report; before
// the single-instance test, a run that another setup holds off still ends as declined.
TEST_F(RunSetup, MemoryThatRunsOutAroundTheEndsOfARunMakesNoSecondEnd) {
    os.fail_with = [&](std::string_view op, const std::string&) -> std::optional<std::uint32_t> {
        if (op == "message_box") os.run_out_of_memory();
        return std::nullopt;
    };
    EXPECT_EQ(run(), 1);  // no guard executable to start
    const auto messages = log_messages(os);
    EXPECT_EQ(std::ranges::count_if(messages, [](const std::string& m) {
                  return m.starts_with("failed: ");
              }), 1);
    EXPECT_TRUE(messages.back().starts_with("failed: Pelko not started: ")) << messages.back();
    EXPECT_EQ(os.calls_of("message_box").size(), 1u);

    FakePlatform held;
    held.add_user();
    held.mutexes.insert("Local\\PelkoSetup");
    bool ran_out = false;
    held.fail_with = [&](std::string_view op, const std::string&) -> std::optional<std::uint32_t> {
        if (op == "open_for_append" && !std::exchange(ran_out, true)) held.run_out_of_memory();
        return std::nullopt;
    };
    EXPECT_EQ(testing::run_setup_to_exit(held, {kEmptyPayload}), 0);
    EXPECT_EQ(log_messages(held), std::vector<std::string>{"another setup is running"});
}

// A volume too small for the files is found before a running copy is asked to quit.
TEST_F(RunSetup, VolumeTooSmallEndsTheRunBeforeTheQuitRequest) {
    const auto stored = testing::raw_deflate(testing::ContainerBuilder{}
                                                 .entry("pelko.exe", std::string(600, 'a'))
                                                 .entry("pelko-guard.exe", std::string(400, 'g'))
                                                 .bytes);
    os.raw_command_line = u"setup.exe --update";
    os.processes = {{7, "pelko.exe", "\"C:\\Apps\\pelko.exe\""}};
    os.disk_size = 999;
    EXPECT_EQ(run(stored), 1);
    EXPECT_TRUE(os.started.empty());
    // The log's start line took some of the 999 bytes.
    EXPECT_TRUE(log_messages(os).back().starts_with(testing::failed_line(
        testing::install_dir_of() + ": not enough disk space (1000 bytes needed, 9")))
        << log_messages(os).back();
}

TEST_F(RunSetup, CopyThatNeverQuitsEndsTheRunAfterTwentySecondsWithTheModesText) {
    const std::string still_running =
        "Pelko is still running. Right click the bar > Quit Pelko, then run the setup again.";
    for (const bool update : {false, true}) {
        SCOPED_TRACE(update ? "update mode" : "first install");
        FakePlatform fresh;
        fresh.add_user();
        fresh.raw_command_line = update ? u"setup.exe --update" : u"setup.exe";
        fresh.processes = {{7, "pelko.exe", std::nullopt}};
        const MonotonicTime start = fresh.monotonic;
        const auto stored = testing::raw_deflate(testing::ContainerBuilder{}
                                                     .entry("pelko.exe", "app")
                                                     .entry("pelko-guard.exe", "g")
                                                     .bytes);
        EXPECT_EQ(testing::run_setup_to_exit(fresh, {stored}), 1);

        const std::string failure = update ? "Pelko did not quit" : still_running;
        EXPECT_EQ(log_messages(fresh).back(), testing::failed_line(failure));
        if (update) {
            EXPECT_TRUE(fresh.boxes.empty());
        } else {
            ASSERT_EQ(fresh.boxes.size(), 1u);
            EXPECT_EQ(fresh.boxes[0].text, testing::failure_box(failure));
        }
        EXPECT_EQ(fresh.monotonic.seconds - start.seconds, 20u);
        EXPECT_FALSE(fresh.directories.contains(
            FakePlatform::normalize(OsString::from_utf8(std::string(testing::kFakeLocalAppData) + "\\Programs"))))
            << "a file was written while the copy ran";
    }
}

TEST_F(RunSetup, EmptyCommandLineUsesTheModuleNameAndIsNoUpdate) {
    add_guard();
    os.raw_command_line.clear();
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(log_messages(os).front(), testing::start_line(false));
}

}  // namespace
}  // namespace pelko
