// Directories, the append-only file, the staging file and the existence tests: what every
// platform does alike.
#include <string>

#include "world.h"

namespace pelko::contract {
namespace {

using Directories = Contract;
using Files = Contract;
using Links = Contract;
using Paths = Contract;

void write_and_close(Platform& os, FileHandle file, std::string_view text) {
    const OsResult<std::uint32_t> written = os.write_file(file, std::as_bytes(std::span(text)));
    EXPECT_EQ(written, text.size());
    os.close_file(file);
}

void append(Platform& os, const OsString& path, std::string_view text) {
    const OsResult<FileHandle> file = os.open_for_append(path);
    ASSERT_TRUE(file) << path.to_text();
    write_and_close(os, *file, text);
}

void stage(Platform& os, const OsString& path, std::string_view text) {
    const OsResult<FileHandle> file = os.create_for_writing(path);
    ASSERT_TRUE(file) << path.to_text();
    write_and_close(os, *file, text);
}

// One level at a time, below a folder that exists; nothing in the way is touched.
TEST_F(Directories, OneLevelBelowAFolderThatExists) {
    ASSERT_TRUE(os.create_directory(at("made")));
    EXPECT_TRUE(world->is_directory(at("made")));
    EXPECT_TRUE(os.is_directory(at("made")));
    EXPECT_EQ(failure_kind(os.create_directory(at("made"))), OsErrorKind::already_exists);

    EXPECT_EQ(failure_kind(os.create_directory(at("none\\below"))), OsErrorKind::not_found);
    EXPECT_FALSE(world->exists(at("none")));
    EXPECT_FALSE(os.is_directory(at("none")));

    world->put_file(at("file"), "in the way");
    EXPECT_EQ(failure_kind(os.create_directory(at("file"))), OsErrorKind::already_exists);
    EXPECT_FALSE(os.is_directory(at("file")));
    // Below a file: not found on Windows and on the fake; Wine answers access denied.
    EXPECT_FALSE(os.create_directory(at("file\\below")));
    EXPECT_EQ(world->file(at("file")), "in the way");
}

// Paths longer than MAX_PATH, for each operation a run makes on them.
TEST_F(Directories, LongPathsWork) {
    std::string relative;
    for (char level = 'a'; level < 'f'; ++level) {
        relative += std::string(relative.empty() ? "" : "\\") + std::string(60, level);
        ASSERT_TRUE(os.create_directory(at(relative))) << relative.size();
    }
    ASSERT_GT(at(relative).to_utf16().size(), 300u);
    EXPECT_TRUE(os.is_directory(at(relative)));
    EXPECT_EQ(failure_kind(os.create_directory(at(relative))), OsErrorKind::already_exists);
    const OsString file = at(relative + "\\f.txt");
    append(os, file, "hello");
    stage(os, at(relative + "\\g.new"), "staged");
    EXPECT_EQ(world->file(file), "hello");
    EXPECT_EQ(world->file(at(relative + "\\g.new")), "staged");
    EXPECT_TRUE(os.path_exists(file));
    EXPECT_EQ(os.file_size(file), 5u);
}

// Created when missing, then only ever appended to, also through two handles at once.
TEST_F(Files, AppendCreatesTheFileThenAddsAtItsEnd) {
    const OsString log = at("setup.log");
    const OsResult<FileHandle> opened = os.open_for_append(log);
    ASSERT_TRUE(opened);
    os.close_file(*opened);
    EXPECT_EQ(world->file(log), "");
    append(os, log, "one\n");
    append(os, log, "two\n");
    EXPECT_EQ(world->file(log), "one\ntwo\n");

    const OsResult<FileHandle> first = os.open_for_append(log);
    const OsResult<FileHandle> second = os.open_for_append(log);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(os.write_file(*first, std::as_bytes(std::span("a", 1))), 1u);
    EXPECT_EQ(os.write_file(*second, std::as_bytes(std::span("b", 1))), 1u);
    write_and_close(os, *first, "c");
    os.close_file(*second);
    EXPECT_EQ(world->file(log), "one\ntwo\nabc");

    const std::string earlier(100000, 'e');
    world->put_file(at("large.log"), earlier);
    append(os, at("large.log"), "later\n");
    EXPECT_EQ(world->file(at("large.log")), earlier + "later\n");

    EXPECT_EQ(failure_kind(os.open_for_append(at("none\\setup.log"))), OsErrorKind::not_found);
    world->put_directory(at("folder"));
    EXPECT_EQ(failure_kind(os.open_for_append(at("folder"))), OsErrorKind::access_denied);
}

// A staging file is created, or an existing one cut to nothing; '/' and '\' separate alike and
// the letter case of a name does not count.
TEST_F(Files, CreateForWritingMakesOrEmptiesTheFile) {
    stage(os, at("a.new"), "ab");
    EXPECT_EQ(world->file(at("a.new")), "ab");
    world->put_file(at("b.new"), "stale contents, longer than the new");
    stage(os, at("b.new"), "new");
    EXPECT_EQ(world->file(at("b.new")), "new");

    world->put_directory(at("sub"));
    stage(os, at("sub/c.new"), "slash");
    EXPECT_EQ(world->file(at("sub\\c.new")), "slash");
    stage(os, at("SUB\\C.NEW"), "upper");
    EXPECT_EQ(world->file(at("sub\\c.new")), "upper");

    EXPECT_EQ(failure_kind(os.create_for_writing(at("none\\a.new"))), OsErrorKind::not_found);
    EXPECT_FALSE(world->exists(at("none")));
}

// A read-only leftover is never written into as it is: it is refused, access denied, and left
// as it was (Windows, the fake), or emptied and freed of the attribute (Wine run by root, where
// the attribute bars no writing).
TEST_F(Files, CreateForWritingOverAReadOnlyFile) {
    world->put_file(at("a.new"), "stale");
    world->put_read_only(at("a.new"));
    const OsResult<FileHandle> file = os.create_for_writing(at("a.new"));
    if (!file) {
        EXPECT_EQ(file.error().kind, OsErrorKind::access_denied);
        EXPECT_EQ(world->file(at("a.new")), "stale");
        EXPECT_TRUE(world->is_read_only(at("a.new")));
    } else {
        write_and_close(os, *file, "new");
        EXPECT_EQ(world->file(at("a.new")), "new");
        EXPECT_FALSE(world->is_read_only(at("a.new")));
    }
}

// A link is never written through, and a delete takes the link, not what it leads to; it
// exists when what it leads to does.
TEST_F(Links, NeverWrittenThroughAndDeletedThemselves) {
    world->put_file(at("thesis.docx"), "years of work");
    if (!world->put_link(at("a.new"), at("thesis.docx"), false)) {
        GTEST_SKIP() << "no link can be made here (Wine 8 makes none)";
    }
    EXPECT_TRUE(os.path_exists(at("a.new")));
    ASSERT_TRUE(world->put_link(at("gone.new"), at("none.docx"), false));
    EXPECT_FALSE(os.path_exists(at("gone.new")));
    EXPECT_EQ(failure_kind(os.create_for_writing(at("a.new"))), OsErrorKind::link);
    EXPECT_EQ(world->file(at("thesis.docx")), "years of work");
    ASSERT_TRUE(os.delete_file(at("a.new")));
    EXPECT_FALSE(world->exists(at("a.new")));
    EXPECT_EQ(world->file(at("thesis.docx")), "years of work");

    world->put_directory(at("documents"));
    world->put_file(at("documents\\kept.txt"), "kept");
    ASSERT_TRUE(world->put_link(at("b.new"), at("documents"), true));
    ASSERT_TRUE(os.delete_file(at("b.new")));
    EXPECT_FALSE(world->exists(at("b.new")));
    EXPECT_EQ(world->file(at("documents\\kept.txt")), "kept");
}

TEST_F(Paths, FilesAndFoldersExistNothingElse) {
    world->put_file(at("pelko.exe"), "MZ");
    world->put_directory(at("folder"));
    EXPECT_TRUE(os.path_exists(at("pelko.exe")));
    EXPECT_TRUE(os.path_exists(at("PELKO.EXE")));
    EXPECT_TRUE(os.path_exists(at("folder")));
    EXPECT_FALSE(os.path_exists(at("none.exe")));
    EXPECT_FALSE(os.path_exists(at("none\\pelko.exe")));
    EXPECT_FALSE(os.path_exists(at("pelk*.exe")));  // no search
    EXPECT_FALSE(os.path_exists(OsString()));
    EXPECT_TRUE(os.is_directory(at("folder")));
    EXPECT_FALSE(os.is_directory(at("pelko.exe")));
}

// A path holding a NUL is refused before any call: nothing is done to what the part before
// the NUL names.
TEST_F(Paths, NulIsRefusedByEveryPathOperation) {
    world->put_file(at("a"), "kept");
    world->put_file(at("b"), "source");
    const OsString nul = at(std::string("a\0b", 3));
    const auto refused = OsErrorKind::nul_in_string;
    EXPECT_EQ(failure_kind(os.create_directory(nul)), refused);
    EXPECT_EQ(failure_kind(os.open_for_append(nul)), refused);
    EXPECT_EQ(failure_kind(os.create_for_writing(nul)), refused);
    EXPECT_EQ(failure_kind(os.move_replacing(at("b"), nul)), refused);
    EXPECT_EQ(failure_kind(os.move_replacing(nul, at("b"))), refused);
    EXPECT_EQ(failure_kind(os.delete_file(nul)), refused);
    EXPECT_EQ(failure_kind(os.set_read_only(nul, true)), refused);
    EXPECT_EQ(failure_kind(os.is_read_only(nul)), refused);
    EXPECT_EQ(failure_kind(os.file_size(nul)), refused);
    EXPECT_EQ(failure_kind(os.free_disk_space(nul)), refused);
    EXPECT_FALSE(os.is_directory(nul));
    EXPECT_FALSE(os.path_exists(nul));
    EXPECT_EQ(world->file(at("a")), "kept");
    EXPECT_FALSE(world->is_read_only(at("a")));
    EXPECT_EQ(world->file(at("b")), "source");
}

}  // namespace
}  // namespace pelko::contract
