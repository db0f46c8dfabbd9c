#include "payload/install/install_payload.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "expected.h"
#include "fake_platform.h"
#include "payload/install/free_space.h"
#include "payload/names/staging_path.h"
#include "payload_builder.h"
#include "platform/text_format.h"

namespace pelko {
namespace {

using testing::ContainerBuilder;
using testing::FakePlatform;

const std::string kInstall = testing::install_dir_of();
const std::string kDenied = "Access is denied. (os error 5)";

std::vector<PayloadEntry> entries_of(const ContainerBuilder& container) {
    return testing::read_entries(container.bytes);
}

std::string in_install(const std::string& name) { return kInstall + "\\" + name; }

struct InstallPayload : ::testing::Test {
    FakePlatform os;
    void SetUp() override { os.add_user(); }
    StepResult<std::uint64_t> install(const std::vector<PayloadEntry>& entries) {
        return install_payload(os, OsString::from_utf8(kInstall), entries);
    }
};

TEST(StagingPath, ReplacesOrAppendsTheExtensionOfTheLastComponent) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\P\\pelko.exe", "C:\\P\\pelko.new"},
        {"C:\\P\\pelko-guard.exe", "C:\\P\\pelko-guard.new"},
        {"C:\\P\\COPYING", "C:\\P\\COPYING.new"},
        {"C:\\P\\.config", "C:\\P\\.config.new"},
        {"C:\\P\\a.b.c", "C:\\P\\a.b.new"},
        {"C:\\P\\sub/readme.txt", "C:\\P\\sub/readme.new"},
        {"C:\\P.d\\sub/noext", "C:\\P.d\\sub/noext.new"},
        {"C:\\P.d\\x\\y", "C:\\P.d\\x\\y.new"},
    };
    for (const auto& [target, staged] : cases) {
        EXPECT_EQ(staging_path(OsString::from_utf8(target)).wtf8(), staged) << target;
    }
}

TEST_F(InstallPayload, FirstInstallCreatesTheFoldersAndWritesEveryFile) {
    const auto entries = entries_of(
        ContainerBuilder{}.entry("pelko.exe", "APP").entry("sub/readme.txt", "read me"));
    const auto total = install(entries);
    ASSERT_TRUE(total.has_value()) << total.error().text;
    EXPECT_EQ(*total, 10u);
    const auto key = [](const std::string& name) {
        return FakePlatform::normalize(OsString::from_utf8(in_install(name)));
    };
    EXPECT_EQ(os.files, (std::map<std::string, std::string>{{key("pelko.exe"), "APP"},
                                                            {key("sub\\readme.txt"), "read me"}}));
    EXPECT_TRUE(os.directories.contains("c:\\users\\a\\appdata\\local\\programs\\pelko\\sub"));
    EXPECT_EQ(os.open_file_count(), 0u);
}

TEST_F(InstallPayload, ReplacesOlderFilesReusesStaleStagingAndSkipsEmptyWrites) {
    os.add_directory(kInstall);
    os.files[FakePlatform::normalize(OsString::from_utf8(in_install("pelko.exe")))] = "OLD";
    os.files[FakePlatform::normalize(OsString::from_utf8(in_install("pelko.new")))] = "stale!!";
    os.files[FakePlatform::normalize(OsString::from_utf8(in_install("other.txt")))] = "kept";
    const auto entries = entries_of(ContainerBuilder{}.entry("pelko.exe", "NEW").entry("pelko.dll", "")
                                        .entry(".config", "c"));
    const auto total = install(entries);
    ASSERT_TRUE(total.has_value());
    EXPECT_EQ(*total, 4u);
    EXPECT_EQ(os.file(in_install("pelko.exe")), "NEW");
    EXPECT_EQ(os.file(in_install("pelko.dll")), "");
    EXPECT_EQ(os.file(in_install(".config")), "c");
    EXPECT_EQ(os.file(in_install("other.txt")), "kept");
    EXPECT_FALSE(os.has_file(in_install("pelko.new")));
    EXPECT_EQ(os.monotonic, FakePlatform().monotonic) << "no pause when every move succeeds";
}

TEST_F(InstallPayload, EmptyListMakesNothing) {
    const auto before = os.directories;
    const auto total = install({});
    ASSERT_TRUE(total.has_value());
    EXPECT_EQ(*total, 0u);
    EXPECT_EQ(os.directories, before) << "not even the install directory";
    EXPECT_TRUE(os.files.empty());
}

TEST_F(InstallPayload, MoveIsTriedTwentyTimesThenTheStagingFileIsDeleted) {
    os.add_directory(kInstall);
    os.files[FakePlatform::normalize(OsString::from_utf8(in_install("pelko-guard.exe")))] = "OLD";
    int moves = 0;
    os.fail_with = [&](std::string_view op, const std::string& arg) -> std::optional<std::uint32_t> {
        if (op != "move_replacing" || !arg.ends_with("pelko-guard.exe")) return std::nullopt;
        ++moves;
        return moves < kMoveAttempts ? 32u : 5u;  // the last attempt's error is the one reported
    };
    const auto entries = entries_of(ContainerBuilder{}.entry("pelko.exe", "A")
                                        .entry("pelko-guard.exe", "G").entry("pelko-temp.exe", "T"));
    const auto total = install(entries);
    ASSERT_FALSE(total.has_value());
    EXPECT_EQ(total.error().text, in_install("pelko-guard.exe") + ": " + kDenied);
    EXPECT_EQ(moves, kMoveAttempts);
    const std::string pause = format_text("sleep {}", kMovePause.count());
    EXPECT_EQ(os.calls_of("sleep"), std::vector<std::string>(kMoveAttempts, pause));
    // Moves and pauses alternate; the delete comes after the last pause.
    const auto& calls = os.calls;
    const auto last_sleep = std::find(calls.rbegin(), calls.rend(), pause);
    ASSERT_NE(last_sleep, calls.rend());
    EXPECT_EQ(*(last_sleep - 1), "delete_file " + in_install("pelko-guard.new"));
    EXPECT_FALSE(os.has_file(in_install("pelko-guard.new")));
    EXPECT_EQ(os.file(in_install("pelko-guard.exe")), "OLD");  // target unchanged
    EXPECT_EQ(os.file(in_install("pelko.exe")), "A");           // earlier entry stays
    EXPECT_FALSE(os.has_file(in_install("pelko-temp.exe")));    // later one untouched
    EXPECT_TRUE(os.calls_of("create_for_writing " + in_install("pelko-temp.new")).empty());
}

TEST_F(InstallPayload, MoveThatSucceedsOnALaterAttemptGoesOn) {
    int moves = 0;
    os.fail_with = [&](std::string_view op, const std::string&) -> std::optional<std::uint32_t> {
        if (op == "move_replacing" && ++moves <= 7) return 5u;
        return std::nullopt;
    };
    const auto total = install(entries_of(ContainerBuilder{}.entry("pelko.exe", "APP")));
    ASSERT_TRUE(total.has_value());
    EXPECT_EQ(os.calls_of("sleep"),
              std::vector<std::string>(7, format_text("sleep {}", kMovePause.count())));
    EXPECT_EQ(os.file(in_install("pelko.exe")), "APP");
    EXPECT_FALSE(os.has_file(in_install("pelko.new")));
}

TEST_F(InstallPayload, FailureTexts) {
    struct Case {
        const char* what;
        std::string failing_op;  // the operation that fails with "Access is denied"
        std::string name;
        std::string expected;
    };
    const Case cases[] = {
        {"directory: the error alone", "create_directory", "pelko.exe", kDenied},
        {"staging file cannot be created", "create_for_writing", "sub/readme.txt",
         in_install("sub/readme.new") + ": " + kDenied},
        {"write fails", "write_file", "pelko.exe", in_install("pelko.new") + ": " + kDenied},
        {"NUL in the last component", "", std::string("pel\0ko.exe", 10),
         in_install("pel") + std::string(1, '\0') + "ko.new: strings passed to WinAPI cannot contain NULs"},
        {"NUL in a directory level", "", std::string("s\0b/x.txt", 9),
         "strings passed to WinAPI cannot contain NULs"},
    };
    for (const Case& c : cases) {
        FakePlatform fresh;
        fresh.add_user();
        fresh.fail_with = [&](std::string_view op, const std::string&) -> std::optional<std::uint32_t> {
            if (op == c.failing_op) return 5u;
            return std::nullopt;
        };
        const auto total = install_payload(fresh, OsString::from_utf8(kInstall),
                                           entries_of(ContainerBuilder{}.entry(c.name, "data")));
        ASSERT_FALSE(total.has_value()) << c.what;
        EXPECT_EQ(total.error().text, c.expected) << c.what;
        EXPECT_FALSE(fresh.has_file(in_install(c.name))) << c.what << ": nothing moved over it";
        EXPECT_EQ(fresh.open_file_count(), 0u) << c.what;
    }
}

TEST_F(InstallPayload, FailedWriteLeavesTheOlderFileWhole) {
    os.add_directory(kInstall);
    os.files[FakePlatform::normalize(OsString::from_utf8(in_install("pelko.exe")))] = "OLD";
    os.fail_with = [](std::string_view op, const std::string&) -> std::optional<std::uint32_t> {
        if (op == "write_file") return 5u;
        return std::nullopt;
    };
    ASSERT_FALSE(install(entries_of(ContainerBuilder{}.entry("pelko.exe", "NEW"))).has_value());
    EXPECT_EQ(os.file(in_install("pelko.exe")), "OLD");
}

std::string key_of(const std::string& path) {
    return FakePlatform::normalize(OsString::from_utf8(path));
}

// Staging files an earlier run left that cannot be emptied in place: a read-only one, and a link
// to a file elsewhere, which must never be written through. Each is removed, the link and not
// the file it leads to, and the file installed whole without any attribute of the leftover.
TEST_F(InstallPayload, LeftoverStagingFilesThatCannotBeEmptiedAreReplaced) {
    os.add_directory(kInstall);
    os.add_directory("C:\\Users\\a\\Documents");
    const std::string outside = "C:\\Users\\a\\Documents\\thesis.docx";
    os.files[key_of(outside)] = "years of work";
    os.files[key_of(in_install("pelko-temp.new"))] = "stale";
    os.read_only.insert(key_of(in_install("pelko-temp.new")));
    os.links[key_of(in_install("pelko.new"))] = key_of(outside);
    const auto total = install(entries_of(
        ContainerBuilder{}.entry("pelko.exe", "APP").entry("pelko-temp.exe", "TEMP")));
    ASSERT_TRUE(total.has_value()) << total.error().text;
    EXPECT_EQ(os.file(outside), "years of work");
    EXPECT_EQ(os.file(in_install("pelko.exe")), "APP");
    EXPECT_EQ(os.file(in_install("pelko-temp.exe")), "TEMP");
    EXPECT_TRUE(os.read_only.empty());
    EXPECT_TRUE(os.links.empty());
    EXPECT_FALSE(os.has_file(in_install("pelko.new")));
    EXPECT_FALSE(os.has_file(in_install("pelko-temp.new")));

    // A leftover that cannot be removed either (held open by another program) is the failure.
    os.files[key_of(in_install("pelko.new"))] = "held";
    os.read_only.insert(key_of(in_install("pelko.new")));
    os.fail_with = [](std::string_view op, const std::string&) -> std::optional<std::uint32_t> {
        return op == "delete_file" ? std::optional<std::uint32_t>(32) : std::nullopt;
    };
    const auto refused = install(entries_of(ContainerBuilder{}.entry("pelko.exe", "APP2")));
    ASSERT_FALSE(refused.has_value());
    EXPECT_EQ(refused.error().text, in_install("pelko.new") + ": " + kDenied);
    EXPECT_EQ(os.file(in_install("pelko.exe")), "APP");
}

// A read-only target, which a move cannot replace, loses that attribute and is replaced at once;
// when every move fails for another reason, it is left as it was, read-only still.
TEST_F(InstallPayload, ReadOnlyTargetsAreReplacedWithoutTheAttribute) {
    os.add_directory(kInstall);
    os.files[key_of(in_install("pelko.exe"))] = "OLD";
    os.read_only.insert(key_of(in_install("pelko.exe")));
    ASSERT_TRUE(install(entries_of(ContainerBuilder{}.entry("pelko.exe", "NEW"))).has_value());
    EXPECT_EQ(os.file(in_install("pelko.exe")), "NEW");
    EXPECT_TRUE(os.read_only.empty());
    EXPECT_EQ(os.monotonic, FakePlatform().monotonic) << "no pause";

    os.read_only.insert(key_of(in_install("pelko.exe")));
    int moves = 0;
    os.fail_with = [&](std::string_view op, const std::string&) -> std::optional<std::uint32_t> {
        if (op != "move_replacing" || ++moves == 1) return std::nullopt;
        return 32u;  // held open, from the second move on
    };
    const auto held = install(entries_of(ContainerBuilder{}.entry("pelko.exe", "NEWER")));
    ASSERT_FALSE(held.has_value());
    EXPECT_EQ(held.error().text,
              in_install("pelko.exe") + ": The process cannot access the file because it is "
                                        "being used by another process. (os error 32)");
    EXPECT_EQ(os.file(in_install("pelko.exe")), "NEW");
    EXPECT_TRUE(os.read_only.contains(key_of(in_install("pelko.exe"))));
}

// A platform whose writes take at most `limit` bytes per call.
struct ShortWritePlatform : FakePlatform {
    std::size_t limit = 0;
    OsResult<std::uint32_t> write_file(FileHandle file, std::span<const std::byte> data) override {
        return FakePlatform::write_file(file, data.first(std::min(limit, data.size())));
    }
};

TEST(InstallPayloadWrites, ShortWritesAreRepeatedAndAZeroWriteFails) {
    ShortWritePlatform os;
    os.add_directory(kInstall);
    os.limit = 4;
    const auto entries = entries_of(ContainerBuilder{}.entry("a.bin", "0123456789"));
    ASSERT_TRUE(install_payload(os, OsString::from_utf8(kInstall), entries).has_value());
    EXPECT_EQ(os.file(in_install("a.bin")), "0123456789");

    os.limit = 0;
    const auto total = install_payload(os, OsString::from_utf8(kInstall), entries);
    ASSERT_FALSE(total.has_value());
    EXPECT_EQ(total.error().text, in_install("a.new") + ": failed to write whole buffer");
    EXPECT_EQ(os.open_file_count(), 0u);
    EXPECT_TRUE(os.has_file(in_install("a.new")));  // the partly written file stays
}

// ---- staging files written ahead of the moves on several threads (the fake's
// run_concurrently starts real ones): the same files and failures as one entry at a time.

// Entry i of the files: "pkgN/fileI" with N = i / 10 (ten to a folder), and `ending`.
std::string file_name(int i, const char* ending = ".txt") {
    return "pkg" + std::to_string(i / 10) + "/file" + std::to_string(i) + ending;
}

// Entries first to first + count - 1 of the files, each holding its own name.
ContainerBuilder& add_files(ContainerBuilder& payload, int first, int count) {
    for (int i = first; i < first + count; ++i) payload.entry(file_name(i), file_name(i));
    return payload;
}

// A fake whose moves of the targets named in `slow` wait a little first (outside the fake's
// lock), so that the other threads stage entries after them meanwhile.
struct SlowMovePlatform : FakePlatform {
    std::vector<std::string> slow;
    OsResult<void> move_replacing(const OsString& from, const OsString& to) override {
        for (const std::string& name : slow) {
            if (key_of(in_install(name)) == normalize(to)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }
        return FakePlatform::move_replacing(from, to);
    }
};

// The window of four processors.
constexpr std::size_t kWindow = 4 * kStagedPerProcessor;

struct StagedInstall : ::testing::Test {
    SlowMovePlatform os;
    void SetUp() override {
        os.add_user();
        os.processors = 4;
    }
    StepResult<std::uint64_t> install(const ContainerBuilder& payload) {
        installed = testing::read_entries(payload.bytes);
        return install_payload(os, OsString::from_utf8(kInstall), installed, kWindow);
    }
    // The files left on the disk that are staging files.
    std::vector<std::string> staging_files() const {
        std::vector<std::string> found;
        for (const auto& [key, contents] : os.files) {
            if (key.ends_with(".new")) found.push_back(key);
        }
        return found;
    }
    std::vector<PayloadEntry> installed;
};

// Entries sharing a staging file (a.dll and a.exe: a.new) and a name given twice are staged one
// after the other, each moved whole over its own target, while the threads stage the rest.
TEST_F(StagedInstall, SharedStagingFilesAndNamesGivenTwiceAreStagedOneAfterTheOther) {
    os.slow = {"a.dll", "B.TXT", "c.dll"};
    ContainerBuilder payload;
    add_files(payload, 0, 40)
        .entry("a.dll", "the dll").entry("a.exe", "the exe").entry("B.TXT", "first")
        .entry("c.dll", "c").entry("b.txt", "second").entry("c.exe", "ce");
    const auto total = install(add_files(payload, 40, 30));
    ASSERT_TRUE(total.has_value()) << total.error().text;
    EXPECT_EQ(os.file(in_install("a.dll")), "the dll");
    EXPECT_EQ(os.file(in_install("a.exe")), "the exe");
    EXPECT_EQ(os.file(in_install("b.txt")), "second");
    EXPECT_EQ(os.file(in_install("c.dll")), "c");
    EXPECT_EQ(os.file(in_install("c.exe")), "ce");
    for (int i = 0; i < 70; ++i) EXPECT_EQ(os.file(in_install(file_name(i))), file_name(i));
    EXPECT_TRUE(staging_files().empty());
    EXPECT_EQ(os.open_file_count(), 0u);
    std::uint64_t expected = 0;
    for (const PayloadEntry& entry : installed) expected += entry.size();
    EXPECT_EQ(*total, expected);
}

// A failure at one entry while later ones are staged: the earlier entries installed, its target
// unchanged, and nothing of the later entries on the disk (their staging files written and
// deleted again); the failure text is the one-thread path's. For a move that fails 20 times, a
// write that fails, and a folder that cannot be made.
TEST_F(StagedInstall, AFailureLeavesNothingOfTheLaterEntries) {
    struct Case {
        const char* what;
        std::string failing_op;
        std::string failing_path;  // the end of the path that fails
        std::string expected;
        bool failing_staging_stays;  // a partly written staging file stays, as on one thread
    };
    const Case cases[] = {
        {"move", "move_replacing", "pkg1\\file15.txt",
         in_install("pkg1/file15.txt") + ": " + kDenied, false},
        {"write", "write_file", "pkg1\\file15.new", in_install("pkg1/file15.new") + ": " + kDenied,
         true},
        {"folder", "create_directory", "pkg2", kDenied, false},
    };
    for (const Case& c : cases) {
        SlowMovePlatform fresh;
        fresh.add_user();
        fresh.processors = 4;
        fresh.add_directory(in_install("pkg1"));
        fresh.files[key_of(in_install("pkg1/file15.txt"))] = "OLD";
        // The moves just before the failing entry are slow: later entries are staged meanwhile.
        fresh.slow = {"pkg1/file13.txt", "pkg1/file14.txt", "pkg1/file19.txt"};
        fresh.fail_with = [&](std::string_view op, const std::string& arg)
            -> std::optional<std::uint32_t> {
            if (op != c.failing_op) return std::nullopt;
            const std::string path = op == "write_file" ? arg.substr(0, arg.rfind(' ')) : arg;
            const std::string to = path.substr(path.rfind(" -> ") == std::string::npos
                                                   ? 0 : path.rfind(" -> ") + 4);
            return key_of(to).ends_with(key_of(c.failing_path)) ? std::optional<std::uint32_t>(5)
                                                               : std::nullopt;
        };
        ContainerBuilder payload;
        const std::vector<PayloadEntry> entries =
            testing::read_entries(add_files(payload, 0, 40).bytes);
        const auto total =
            install_payload(fresh, OsString::from_utf8(kInstall), entries, kWindow);
        ASSERT_FALSE(total.has_value()) << c.what;
        EXPECT_EQ(total.error().text, c.expected) << c.what;
        const int failing = c.failing_op == "create_directory" ? 20 : 15;
        for (int i = 0; i < 40; ++i) {
            if (i < failing) {
                EXPECT_EQ(fresh.file(in_install(file_name(i))), file_name(i)) << c.what;
            } else if (i > failing || c.failing_op == "create_directory") {
                EXPECT_FALSE(fresh.has_file(in_install(file_name(i)))) << c.what << " " << i;
            }
            if (i > failing || (i == failing && !c.failing_staging_stays)) {
                EXPECT_FALSE(fresh.has_file(in_install(file_name(i, ".new"))))
                    << c.what << " " << i;
            }
        }
        if (c.failing_op != "create_directory") {
            EXPECT_EQ(fresh.file(in_install("pkg1/file15.txt")), "OLD") << c.what;
        }
        if (c.failing_op == "move_replacing") {
            // Later entries were staged while the failing one was on its way.
            EXPECT_FALSE(fresh.calls_of("create_for_writing " + in_install("pkg1/file16.new"))
                             .empty());
        }
        EXPECT_EQ(fresh.has_file(in_install("pkg1/file15.new")), c.failing_staging_stays)
            << c.what;
        EXPECT_EQ(fresh.open_file_count(), 0u) << c.what;
    }
}

// The free-space check counts the staging files that may stand at once: an update that fits
// one entry at a time but not with the window staged ahead installs one entry at a time, and
// fits (the fake's writes fail on a full disk).
TEST_F(StagedInstall, TooLittleSpaceForTheWindowInstallsOneAtATime) {
    os.add_directory(kInstall);
    ContainerBuilder payload;
    for (int i = 0; i < 20; ++i) {
        const std::string name = "f" + std::to_string(i) + ".bin";
        os.files[key_of(in_install(name))] = std::string(100, 'o');
        payload.entry(name, std::string(100, 'n'));
    }
    const std::vector<PayloadEntry> entries = testing::read_entries(payload.bytes);
    const OsString install_dir = OsString::from_utf8(kInstall);
    const std::size_t window = 16;  // fewer than the entries

    os.disk_size = os.disk_used() + 99;
    const auto refused = check_free_space(os, install_dir, entries, window);
    ASSERT_FALSE(refused.has_value());
    EXPECT_EQ(refused.error().text,
              kInstall + ": not enough disk space (100 bytes needed, 99 bytes free)");

    os.disk_size = os.disk_used() + 150;
    const auto fits = check_free_space(os, install_dir, entries, window);
    ASSERT_TRUE(fits.has_value()) << fits.error().text;
    EXPECT_EQ(*fits, 1u);
    const auto total = install_payload(os, install_dir, entries, *fits);
    ASSERT_TRUE(total.has_value()) << total.error().text;
    EXPECT_EQ(os.file(in_install("f19.bin")), std::string(100, 'n'));

    // The window's 16 staging files of 100 bytes may stand at once.
    os.disk_size = os.disk_used() + 1599;
    EXPECT_EQ(check_free_space(os, install_dir, entries, window), 1u);
    os.disk_size = os.disk_used() + 1600;
    EXPECT_EQ(check_free_space(os, install_dir, entries, window), window);
}

// Staged ahead only with more than one processor, more entries than the window, and at least
// kStagedAheadFrom bytes of files or kStagedAheadFromEntries files.
TEST_F(StagedInstall, TheWindowIsUsedForLargeOrManyFilesOnSeveralProcessors) {
    // `count` entries of kStagedAheadFrom bytes in all, less `short_by` (views of one buffer).
    const auto payload = [&](std::size_t count, std::size_t short_by) {
        const std::size_t piece = kStagedAheadFrom / count;
        const SharedBytes bytes = os.allocate(piece + count);
        std::vector<PayloadEntry> built;
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t size =
                i > 0 ? piece : kStagedAheadFrom - (count - 1) * piece - short_by;
            built.emplace_back("f" + std::to_string(i) + ".bin", bytes, 0, size);
        }
        return built;
    };
    const std::vector<PayloadEntry> entries = payload(kWindow + 1, 0);
    EXPECT_EQ(staging_window(os, entries), kWindow);
    EXPECT_EQ(staging_window(os, payload(kWindow + 1, 1)), 1u) << "a byte below kStagedAheadFrom";
    EXPECT_EQ(staging_window(os, payload(kWindow, 0)), 1u) << "no more entries than the window";
    // Many small files, however few their bytes.
    const std::vector<PayloadEntry> many(kStagedAheadFromEntries, PayloadEntry("a", {}, 0, 0));
    EXPECT_EQ(staging_window(os, many), kWindow);
    EXPECT_EQ(staging_window(os, std::span(many).first(kStagedAheadFromEntries - 1)), 1u);
    os.processors = 1;
    EXPECT_EQ(staging_window(os, entries), 1u) << "one processor: one entry at a time";
    EXPECT_EQ(staging_window(os, many), 1u);
}

}  // namespace
}  // namespace pelko
