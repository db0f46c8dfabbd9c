#include "setup/setup_log.h"

#include <gtest/gtest.h>

#include "fake_platform.h"

namespace pelko {
namespace {

using testing::FakePlatform;

constexpr std::uint64_t kEpoch1970 = 116'444'736'000'000'000ULL;

TEST(FormatLogLine, TimeFieldIsMillisecondsSince1970AndZeroBefore) {
    EXPECT_EQ(format_log_line(kEpoch1970, 7, "x"), "0 pid 7 x\n");
    EXPECT_EQ(format_log_line(kEpoch1970 - 1, 7, "x"), "0 pid 7 x\n");
    EXPECT_EQ(format_log_line(0, 7, "x"), "0 pid 7 x\n");
    EXPECT_EQ(format_log_line(kEpoch1970 + 9'999, 7, "x"), "0 pid 7 x\n");
    EXPECT_EQ(format_log_line(kEpoch1970 + 10'000, 7, "x"), "1 pid 7 x\n");
    // The part below one millisecond is dropped.
    EXPECT_EQ(format_log_line(kEpoch1970 + 17'961'300'001'234'567ULL, 4294967295u, "m"),
              "1796130000123 pid 4294967295 m\n");
    EXPECT_EQ(format_log_line(~0ULL, 1, ""), "1833029933770955 pid 1 \n");
}

TEST(FormatLogLine, MessageIsWrittenUnchanged) {
    EXPECT_EQ(format_log_line(kEpoch1970, 1, "a\nb\r\n  "), "0 pid 1 a\nb\r\n  \n");
}

TEST(WriteLogLine, CreatesTheFoldersAndAppendsLines) {
    FakePlatform os;
    os.add_directory("C:\\Users\\a\\AppData\\Local");
    os.set_env("LOCALAPPDATA", "C:\\Users\\a\\AppData\\Local");
    os.wall_clock = kEpoch1970 + 20'000;
    write_log_line(os, "first");
    os.wall_clock += 10'000;
    write_log_line(os, "second");
    EXPECT_EQ(os.file("C:\\Users\\a\\AppData\\Local\\Pelko\\logs\\setup.log"),
              "2 pid 4242 first\n3 pid 4242 second\n");
    EXPECT_TRUE(os.directories.contains("c:\\users\\a\\appdata\\local\\pelko"));
    EXPECT_EQ(os.open_file_count(), 0u) << "nothing is kept open";
}

TEST(WriteLogLine, WritesNothingWithoutLocalAppData) {
    FakePlatform os;
    write_log_line(os, "lost");
    EXPECT_TRUE(os.files.empty());
    EXPECT_TRUE(os.directories.empty());
}

TEST(WriteLogLine, EmptyLocalAppDataMeansARelativeLogDirectory) {
    FakePlatform os;
    os.set_env("LOCALAPPDATA", "");
    write_log_line(os, "here");
    EXPECT_TRUE(os.has_file("Pelko\\logs\\setup.log"));
    EXPECT_TRUE(os.directories.contains("pelko\\logs"));
}

TEST(WriteLogLine, FileWhereTheDirectoryShouldBeIsSkippedSilently) {
    FakePlatform os;
    os.add_directory("C:\\L");
    os.set_env("LOCALAPPDATA", "C:\\L");
    os.files["c:\\l\\pelko"] = "not a directory";
    write_log_line(os, "x");
    EXPECT_EQ(os.files.size(), 1u);
    EXPECT_EQ(os.file("C:\\L\\Pelko"), "not a directory");
}

TEST(WriteLogLine, FailedWriteDropsTheLineAndStillCloses) {
    FakePlatform os;
    os.add_directory("C:\\L");
    os.set_env("LOCALAPPDATA", "C:\\L");
    os.fail_with = [](std::string_view op, const std::string&) -> std::optional<std::uint32_t> {
        if (op == "write_file") return 112;
        return std::nullopt;
    };
    write_log_line(os, "x");
    EXPECT_EQ(os.file("C:\\L\\Pelko\\logs\\setup.log"), "");
    EXPECT_EQ(os.open_file_count(), 0u);
}

}  // namespace
}  // namespace pelko
