// The replacing move, the delete, the read-only attribute and the space of a volume: what every
// platform does alike.
#include <string>

#include "world.h"

namespace pelko::contract {
namespace {

using Moves = Contract;
using Deletes = Contract;
using Attributes = Contract;
using Space = Contract;

TEST_F(Moves, TheTargetIsCreatedOrReplaced) {
    world->put_file(at("a.new"), "first");
    ASSERT_TRUE(os.move_replacing(at("a.new"), at("a.dll")));
    EXPECT_EQ(world->file(at("a.dll")), "first");
    EXPECT_FALSE(world->exists(at("a.new")));
    world->put_file(at("a.new"), "second");
    ASSERT_TRUE(os.move_replacing(at("a.new"), at("A.DLL")));
    EXPECT_EQ(world->file(at("a.dll")), "second");
    EXPECT_FALSE(world->exists(at("a.new")));
}

// A failed move changes nothing: no source, no folder for the target, a folder in the way.
TEST_F(Moves, AFailedMoveLeavesBothFilesAsTheyWere) {
    world->put_file(at("a.dll"), "old");
    EXPECT_EQ(failure_kind(os.move_replacing(at("none.new"), at("a.dll"))), OsErrorKind::not_found);
    EXPECT_EQ(world->file(at("a.dll")), "old");
    world->put_file(at("b.new"), "new");
    EXPECT_EQ(failure_kind(os.move_replacing(at("b.new"), at("none\\b.dll"))),
              OsErrorKind::not_found);
    world->put_directory(at("folder"));
    EXPECT_FALSE(os.move_replacing(at("b.new"), at("folder")));
    EXPECT_TRUE(world->is_directory(at("folder")));
    EXPECT_EQ(world->file(at("b.new")), "new");
}

// A read-only target is refused, access denied, and both files stay as they were (Windows, the
// fake), or replaced whole (Wine, which does not look at the attribute on a rename); it is
// never lost nor half replaced.
TEST_F(Moves, AReadOnlyTargetIsRefusedOrReplacedWhole) {
    world->put_file(at("a.dll"), "old");
    world->put_read_only(at("a.dll"));
    world->put_file(at("a.new"), "new");
    const OsResult<void> moved = os.move_replacing(at("a.new"), at("a.dll"));
    if (moved) {
        EXPECT_EQ(world->file(at("a.dll")), "new");
        EXPECT_FALSE(world->exists(at("a.new")));
    } else {
        EXPECT_EQ(moved.error().kind, OsErrorKind::access_denied);
        EXPECT_EQ(world->file(at("a.dll")), "old");
        EXPECT_TRUE(world->is_read_only(at("a.dll")));
        EXPECT_EQ(world->file(at("a.new")), "new");
    }
}

TEST_F(Deletes, FilesGoReadOnlyOrNotFoldersStay) {
    world->put_file(at("a.new"), "a");
    ASSERT_TRUE(os.delete_file(at("a.new")));
    EXPECT_FALSE(world->exists(at("a.new")));
    world->put_file(at("b.new"), "b");
    world->put_read_only(at("b.new"));
    ASSERT_TRUE(os.delete_file(at("b.new")));
    EXPECT_FALSE(world->exists(at("b.new")));
    EXPECT_EQ(failure_kind(os.delete_file(at("b.new"))), OsErrorKind::not_found);

    world->put_directory(at("folder"));
    EXPECT_EQ(failure_kind(os.delete_file(at("folder"))), OsErrorKind::access_denied);
    EXPECT_TRUE(world->is_directory(at("folder")));
}

TEST_F(Attributes, ReadOnlyIsSetReadAndCleared) {
    const std::string contents(1234, 'a');
    world->put_file(at("a.dll"), contents);
    EXPECT_EQ(os.is_read_only(at("a.dll")), false);
    ASSERT_TRUE(os.set_read_only(at("a.dll"), true));
    EXPECT_TRUE(world->is_read_only(at("a.dll")));
    EXPECT_EQ(os.is_read_only(at("a.dll")), true);
    ASSERT_TRUE(os.set_read_only(at("a.dll"), false));
    EXPECT_FALSE(world->is_read_only(at("a.dll")));
    EXPECT_EQ(os.is_read_only(at("a.dll")), false);
    EXPECT_EQ(world->file(at("a.dll")), contents);

    EXPECT_EQ(failure_kind(os.is_read_only(at("none"))), OsErrorKind::not_found);
    EXPECT_EQ(failure_kind(os.set_read_only(at("none"), true)), OsErrorKind::not_found);
    EXPECT_FALSE(world->exists(at("none")));
}

TEST_F(Space, FileSizesAndTheFreeSpaceOfAFolder) {
    world->put_file(at("a.dll"), std::string(70000, 'a'));
    world->put_file(at("empty.dat"), "");
    EXPECT_EQ(os.file_size(at("a.dll")), 70000u);
    EXPECT_EQ(os.file_size(at("empty.dat")), 0u);
    EXPECT_EQ(failure_kind(os.file_size(at("none"))), OsErrorKind::not_found);

    world->put_directory(at("folder"));
    const OsResult<std::uint64_t> free = os.free_disk_space(at("folder"));
    ASSERT_TRUE(free);
    EXPECT_GT(*free, 0u);
    EXPECT_EQ(failure_kind(os.free_disk_space(at("none"))), OsErrorKind::not_found);
}

}  // namespace
}  // namespace pelko::contract
