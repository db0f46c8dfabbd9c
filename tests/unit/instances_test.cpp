#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "expected.h"
#include "fake_platform.h"
#include "instances/find_processes.h"
#include "instances/instance_wait.h"
#include "instances/quit_target.h"
#include "instances/stop_running_instances.h"
#include "platform/text_format.h"

namespace pelko {
namespace {

using testing::FakePlatform;

const std::string kInstallDir = testing::install_dir_of();
const std::string kInstalledApp = testing::app_exe_of();

struct Instances : ::testing::Test {
    FakePlatform os;
    const OsString install_dir = OsString::from_utf8(kInstallDir);

    void SetUp() override {
        os.add_user();
    }
    void add_file(const std::string& path) {
        os.add_directory(path.substr(0, path.find_last_of('\\')));
        os.files[FakePlatform::normalize(OsString::from_utf8(path))] = "MZ";
    }
    std::vector<std::string> log_messages() const {
        return os.user_log();
    }
    // Every process ends once the monotonic clock reaches the given reading.
    void end_all_at(MonotonicTime when) {
        os.on_sleep = [this, when] {
            if (os.monotonic >= when) os.processes.clear();
        };
    }
    static MonotonicTime plus_ms(MonotonicTime t, std::uint64_t ms) {
        const std::uint64_t ns = t.nanoseconds + ms * 1'000'000;
        return MonotonicTime{t.seconds + ns / 1'000'000'000,
                             static_cast<std::uint32_t>(ns % 1'000'000'000)};
    }
};

// ---- find_processes -------------------------------------------------------------------------

TEST_F(Instances, NamesMatchUnderAsciiCaseFoldingOnly) {
    os.processes = {{1, "PELKO.EXE", {}},     {2, "pelko.exe.bak", {}}, {3, "Pelko.Exe", {}},
                    {4, "pelko.ex", {}},      {5, "explorer.exe", {}},  {6, "pelko.exe ", {}},
                    {7, "PELKO-GUARD.exe", {}}};
    EXPECT_EQ(find_processes(os, kAppNameList), (std::vector<std::uint32_t>{1, 3}));

    // Only A to Z fold: an o with diaeresis in the other case is another name.
    os.processes = {{1, "PELK\xC3\x96.EXE", {}}, {2, "PELK\xC3\xB6.EXE", {}}};
    const std::array<std::string_view, 1> umlaut{"pelk\xC3\xB6.exe"};
    EXPECT_EQ(find_processes(os, umlaut), (std::vector<std::uint32_t>{2}));
}

TEST_F(Instances, WatchListKeepsSnapshotOrderAndEachIdOnce) {
    os.processes = {{9, "pelko-guard.exe", {}}, {4, "pelko.exe", {}}, {2, "PELKO-GUARD.EXE", {}},
                    {4, "pelko.exe", {}}};
    EXPECT_EQ(find_processes(os, kWatchList), (std::vector<std::uint32_t>{9, 4, 2}));
    os.snapshot_fails = true;
    EXPECT_TRUE(find_processes(os, kWatchList).empty());
}

// ---- locate_quit_target ---------------------------------------------------------------------

TEST_F(Instances, NoAppRunningMeansNoTargetEvenWithTheGuard) {
    os.processes = {{7, "pelko-guard.exe", "\"C:\\x\\pelko-guard.exe\""}};
    EXPECT_FALSE(locate_quit_target(os, install_dir, os.process_snapshot()).has_value());
    EXPECT_EQ(find_processes(os, kWatchList), (std::vector<std::uint32_t>{7}));
}

TEST_F(Instances, UnreadableFirstProcessIsSkippedForTheSecond) {
    add_file("D:\\Tools\\Pelko\\pelko.exe");
    os.processes = {{10, "pelko.exe", std::nullopt},
                    {11, "pelko.exe", "\"d:\\tools\\Pelko\\PELKO.exe\" --tray"}};
    const QuitTarget target = locate_quit_target(os, install_dir, os.process_snapshot());
    ASSERT_TRUE(target.has_value());
    EXPECT_EQ(target->wtf8(), "d:\\tools\\Pelko\\PELKO.exe");  // exactly as taken
}

TEST_F(Instances, FirstReadableProgramMissingFallsBackWithoutTakingTheSecond) {
    add_file("D:\\Tools\\Pelko\\pelko.exe");
    os.processes = {{10, "pelko.exe", "\"E:\\gone\\pelko.exe\""},
                    {11, "pelko.exe", "\"D:\\Tools\\Pelko\\pelko.exe\""}};
    EXPECT_EQ(locate_quit_target(os, install_dir, os.process_snapshot())->wtf8(), kInstalledApp);
}

TEST_F(Instances, UnreadableOrUnusableCommandLinesFallBackToTheInstallDirectory) {
    add_file("C:\\Program Files\\Pelko\\pelko.exe");
    os.processes = {{10, "pelko.exe", std::nullopt}, {11, "pelko.exe", std::nullopt}};
    EXPECT_EQ(locate_quit_target(os, install_dir, os.process_snapshot())->wtf8(), kInstalledApp);

    // Unquoted with a space: "C:\Program" does not exist.
    os.processes = {{10, "pelko.exe", "C:\\Program Files\\Pelko\\pelko.exe --x"}};
    EXPECT_EQ(locate_quit_target(os, install_dir, os.process_snapshot())->wtf8(), kInstalledApp);

    // An all-blank command line gives an empty program, which never exists.
    os.processes = {{10, "pelko.exe", " \t "}};
    EXPECT_EQ(locate_quit_target(os, install_dir, os.process_snapshot())->wtf8(), kInstalledApp);
}

// ---- wait_for_instances_to_end --------------------------------------------------------------

TEST_F(Instances, WaitWithNothingRunningCostsOneSnapshot) {
    EXPECT_TRUE(wait_for_instances_to_end(os));
    EXPECT_EQ(os.calls_of("process_snapshot").size(), 1u);
    EXPECT_TRUE(os.calls_of("sleep").empty());

    // A failing snapshot counts as an empty list.
    os.processes = {{1, "pelko.exe", {}}};
    os.snapshot_fails = true;
    EXPECT_TRUE(wait_for_instances_to_end(os));
}

TEST_F(Instances, WaitGivenAFirstSnapshotPollsFreshOnlyAfterASleep) {
    // The given snapshot decides the first poll, whatever runs now.
    os.processes = {{1, "pelko.exe", {}}};
    EXPECT_TRUE(wait_for_instances_to_end(os, std::vector<ProcessRecord>{}));
    EXPECT_TRUE(os.calls_of("process_snapshot").empty());

    // A guard in it means a pause, then fresh snapshots until the copy is gone.
    const std::vector<ProcessRecord> first{{5, "pelko-guard.exe"}};
    const MonotonicTime start = os.monotonic;
    end_all_at(plus_ms(start, 500));
    EXPECT_TRUE(wait_for_instances_to_end(os, first));
    EXPECT_EQ(os.monotonic, plus_ms(start, 500));
}

TEST_F(Instances, CopyEndingInTheLastSleepStillFails) {
    os.processes = {{1, "pelko-guard.exe", {}}};
    const MonotonicTime start = os.monotonic;
    end_all_at(plus_ms(start, 20'000));
    EXPECT_FALSE(wait_for_instances_to_end(os));
    // Snapshots at 0, 0.25, ..., 19.75 s; none after the clock reads 20 s.
    EXPECT_EQ(os.calls_of("process_snapshot").size(), 80u);
    EXPECT_EQ(os.calls_of("sleep"), std::vector<std::string>(80, "sleep 250"));
    EXPECT_TRUE(os.processes.empty());
}

TEST_F(Instances, CopyEndingBeforeTheLastSnapshotIsSeen) {
    os.processes = {{1, "pelko.exe", {}}};
    end_all_at(plus_ms(os.monotonic, 19'750));
    EXPECT_TRUE(wait_for_instances_to_end(os));
    EXPECT_EQ(os.calls_of("process_snapshot").size(), 80u);
}

TEST_F(Instances, WaitIsBoundByTheClockNotByPolls) {
    // Each snapshot takes 5 s: four polls fit in the 20 s.
    os.processes = {{1, "pelko.exe", {}}};
    os.fail_with = [this](std::string_view op, const std::string&) -> std::optional<std::uint32_t> {
        if (op == "process_snapshot") os.monotonic.seconds += 5;
        return std::nullopt;
    };
    EXPECT_FALSE(wait_for_instances_to_end(os));
    EXPECT_EQ(os.calls_of("process_snapshot").size(), 4u);
}

// ---- stop_running_instances -----------------------------------------------------------------

TEST_F(Instances, NothingRunningLogsNothingAndStartsNothing) {
    EXPECT_TRUE(stop_running_instances(os, install_dir, false).has_value());
    EXPECT_TRUE(log_messages().empty());
    EXPECT_TRUE(os.calls_of("run_program").empty());
    // The target search's snapshot is also the wait's first poll.
    EXPECT_EQ(os.calls_of("process_snapshot").size(), 1u);
}

TEST_F(Instances, RunningAppIsAskedToQuitAfterTheLogLine) {
    add_file(kInstalledApp);
    os.processes = {{10, "pelko.exe", std::nullopt}, {11, "pelko-guard.exe", std::nullopt}};
    std::vector<std::string> log_at_request;
    os.on_run_program = [this, &log_at_request](const FakePlatform::StartedProgram&) {
        log_at_request = log_messages();
        os.processes.clear();
    };
    const MonotonicTime start = os.monotonic;
    EXPECT_TRUE(stop_running_instances(os, install_dir, true).has_value());

    const std::vector<std::string> asking{testing::asking_line(kInstalledApp)};
    EXPECT_EQ(log_at_request, asking) << "the line is there before the request is made";
    EXPECT_EQ(log_messages(), asking);
    ASSERT_EQ(os.started.size(), 1u);
    EXPECT_EQ(os.started[0].program, kInstalledApp);
    EXPECT_EQ(os.started[0].command_line, format_text("\"{}\" --quit", kInstalledApp));
    EXPECT_TRUE(os.started[0].waited);
    // Seen gone at the first look after the request: no pause.
    EXPECT_EQ(os.monotonic, start);
}

TEST_F(Instances, ThreeCopiesGetOneRequestToTheFirstReadableProgram) {
    add_file("D:\\A\\pelko.exe");
    add_file("D:\\B\\pelko.exe");
    os.processes = {{3, "pelko.exe", std::nullopt},
                    {1, "PELKO.EXE", "D:\\A\\pelko.exe --tray"},
                    {2, "pelko.exe", "\"D:\\B\\pelko.exe\""}};
    os.on_run_program = [this](const FakePlatform::StartedProgram&) { os.processes.clear(); };
    EXPECT_TRUE(stop_running_instances(os, install_dir, false).has_value());
    ASSERT_EQ(os.started.size(), 1u);
    EXPECT_EQ(os.started[0].command_line, "\"D:\\A\\pelko.exe\" --quit");
    EXPECT_EQ(log_messages(), std::vector<std::string>{testing::asking_line("D:\\A\\pelko.exe")});
}

TEST_F(Instances, SlowQuitRequestDoesNotEatTheWait) {
    add_file(kInstalledApp);
    os.processes = {{10, "pelko.exe", std::nullopt}};
    const MonotonicTime start = os.monotonic;
    os.on_run_program = [this](const FakePlatform::StartedProgram&) { os.monotonic.seconds += 30; };
    // The copy ends 19.5 s after the 30 s quit run: still within the limit.
    end_all_at(plus_ms(start, 49'500));
    EXPECT_TRUE(stop_running_instances(os, install_dir, false).has_value());
    EXPECT_EQ(os.monotonic, plus_ms(start, 49'500));
}

TEST_F(Instances, TargetThatCannotStartIsStillLoggedAndWaitedFor) {
    os.processes = {{10, "pelko.exe", std::nullopt}};  // nothing at the install directory
    const MonotonicTime start = os.monotonic;
    end_all_at(plus_ms(start, 1'000));
    EXPECT_TRUE(stop_running_instances(os, install_dir, true).has_value());
    EXPECT_TRUE(os.started.empty());
    EXPECT_EQ(log_messages(),
              std::vector<std::string>{testing::asking_line(kInstalledApp)});
    EXPECT_EQ(os.monotonic, plus_ms(start, 1'000));
}

TEST_F(Instances, OnlyTheGuardRunningMeansNoRequest) {
    add_file(kInstalledApp);  // a request could be made
    os.processes = {{7, "pelko-guard.exe", std::nullopt}};
    const MonotonicTime start = os.monotonic;
    end_all_at(plus_ms(start, 2'000));
    EXPECT_TRUE(stop_running_instances(os, install_dir, false).has_value());
    EXPECT_TRUE(os.started.empty());
    EXPECT_TRUE(log_messages().empty());
    EXPECT_EQ(os.monotonic, plus_ms(start, 2'000));
}

TEST_F(Instances, CopiesThatStayGiveTheTextOfTheMode) {
    add_file(kInstalledApp);
    os.processes = {{10, "pelko.exe", std::nullopt}};
    const auto update = stop_running_instances(os, install_dir, true);
    ASSERT_FALSE(update.has_value());
    EXPECT_EQ(update.error().text, "Pelko did not quit");

    os.started.clear();
    const auto normal = stop_running_instances(os, install_dir, false);
    ASSERT_FALSE(normal.has_value());
    EXPECT_EQ(normal.error().text,
              "Pelko is still running. Right click the bar > Quit Pelko, then run the setup "
              "again.");
    EXPECT_EQ(os.started.size(), 1u);  // one request per call, never repeated during the wait
}

}  // namespace
}  // namespace pelko
