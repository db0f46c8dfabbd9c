#include "payload/install/free_space.h"

#include <gtest/gtest.h>

#include "expected.h"
#include "fake_platform.h"
#include "payload/install/install_payload.h"
#include "payload_builder.h"

namespace pelko {
namespace {

using testing::ContainerBuilder;
using testing::FakePlatform;

const std::string kInstall = testing::install_dir_of();

std::string key_of(const std::string& path) {
    return FakePlatform::normalize(OsString::from_utf8(path));
}

// A volume of `spare` bytes more than the files on it take (the fake's disk counts every file).
struct FreeSpace : ::testing::Test {
    FakePlatform os;
    void SetUp() override { os.add_user(); }
    void leave_free(std::uint64_t spare) { os.disk_size = os.disk_used() + spare; }
    StepResult<std::uint64_t> check_then_install(const ContainerBuilder& payload) {
        const auto entries = testing::read_entries(payload.bytes);
        const OsString install_dir = OsString::from_utf8(kInstall);
        if (auto fits = check_free_space(os, install_dir, entries); !fits) {
            return std::unexpected(fits.error());
        }
        return install_payload(os, install_dir, entries);
    }
};

// A first install needs all its bytes: one byte less is refused before any change, with the
// directory, the bytes needed and the bytes free; exactly that many installs (the fake's writes
// fail on a full disk, so the check lets through only what really fits).
TEST_F(FreeSpace, FirstInstallNeedsEveryByte) {
    const auto payload = ContainerBuilder{}.entry("pelko.exe", "0123456789").entry("sub/x", "abc");
    leave_free(12);
    const auto refused = check_then_install(payload);
    ASSERT_FALSE(refused.has_value());
    EXPECT_EQ(refused.error().text,
              kInstall + ": not enough disk space (13 bytes needed, 12 bytes free)");
    EXPECT_FALSE(os.directories.contains(key_of(kInstall)));

    leave_free(13);
    const auto installed = check_then_install(payload);
    ASSERT_TRUE(installed.has_value()) << installed.error().text;
    EXPECT_EQ(os.file(kInstall + "\\sub\\x"), "abc");
}

// An update needs the most it grows by at any moment: here the staging copy of a smaller file
// while its old, larger version stands (4 bytes), not the payload's 12; a staging file left by
// an earlier run is emptied first, and gives its bytes back.
TEST_F(FreeSpace, UpdateNeedsItsFullestMoment) {
    os.add_directory(kInstall);
    os.files[key_of(kInstall + "\\a.dll")] = "0123456789";
    os.files[key_of(kInstall + "\\b.new")] = "left";
    const auto payload = ContainerBuilder{}.entry("A.DLL", "new!").entry("b.exe", "12345678");
    leave_free(3);
    const auto refused = check_then_install(payload);
    ASSERT_FALSE(refused.has_value());
    EXPECT_EQ(refused.error().text,
              kInstall + ": not enough disk space (4 bytes needed, 3 bytes free)");
    EXPECT_EQ(os.file(kInstall + "\\a.dll"), "0123456789");

    leave_free(4);
    ASSERT_TRUE(check_then_install(payload).has_value());
    EXPECT_EQ(os.file(kInstall + "\\a.dll"), "new!");
    EXPECT_EQ(os.file(kInstall + "\\b.exe"), "12345678");
    // A name given twice replaces the file it wrote first.
    EXPECT_EQ(space_needed(os, OsString::from_utf8(kInstall),
                           testing::read_entries(ContainerBuilder{}
                                                     .entry("c.bin", "123456")
                                                     .entry("C.BIN", "12")
                                                     .entry("d.bin", "123456")
                                                     .bytes),
                           1)
                  .one_at_a_time,
              8u);
}

// A free space that cannot be read refuses nothing.
TEST_F(FreeSpace, UnknownFreeSpaceRefusesNothing) {
    ASSERT_FALSE(os.disk_size.has_value());
    EXPECT_TRUE(check_then_install(ContainerBuilder{}.entry("pelko.exe", "APP")).has_value());
}

}  // namespace
}  // namespace pelko
