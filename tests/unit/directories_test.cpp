#include "platform/directories.h"

#include <gtest/gtest.h>

#include "fake_platform.h"

namespace pelko {
namespace {

using testing::FakePlatform;

TEST(CreateDirectoryAll, CreatesEveryMissingLevel) {
    FakePlatform os;
    os.add_directory("C:\\Users\\a\\AppData\\Local");
    ASSERT_TRUE(create_directory_all(os, OsString::from_utf8(
                                             "C:\\Users\\a\\AppData\\Local\\Programs\\Pelko\\sub")));
    for (const char* made : {"c:\\users\\a\\appdata\\local\\programs",
                             "c:\\users\\a\\appdata\\local\\programs\\pelko",
                             "c:\\users\\a\\appdata\\local\\programs\\pelko\\sub"}) {
        EXPECT_TRUE(os.directories.contains(made)) << made;
    }
    EXPECT_EQ(os.directories.size(), 7u);  // C:\Users, ..., Local and the three
}

TEST(CreateDirectoryAll, ExistingDirectoryIsNoErrorButAFileIs) {
    FakePlatform os;
    os.add_directory("C:\\d");
    EXPECT_TRUE(create_directory_all(os, OsString::from_utf8("C:\\d")));
    os.files["c:\\d\\f"] = "";
    const auto r = create_directory_all(os, OsString::from_utf8("C:\\d\\f"));
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error(), (OsError{OsErrorKind::already_exists, 183}));
    const auto below = create_directory_all(os, OsString::from_utf8("C:\\d\\f\\g"));
    ASSERT_FALSE(below);
    EXPECT_EQ(below.error(), (OsError{OsErrorKind::already_exists, 183}));
}

TEST(CreateDirectoryAll, OtherErrorsStopTheWalk) {
    FakePlatform os;
    os.add_directory("C:\\d");
    os.fail_with = [](std::string_view op, const std::string& arg) -> std::optional<std::uint32_t> {
        if (op == "create_directory" && arg == "C:\\d\\x") return 5;
        return std::nullopt;
    };
    const auto r = create_directory_all(os, OsString::from_utf8("C:\\d\\x\\y"));
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error(), testing::injected_error(5));
    EXPECT_EQ(os.directories, (std::set<std::string>{"c:\\d"}));
}

TEST(CreateDirectoryAll, NulIsRefusedAndNothingIsMade) {
    FakePlatform os;
    const auto r = create_directory_all(os, OsString::from_utf8(std::string("C:\\a\0b", 6)));
    ASSERT_FALSE(r);
    EXPECT_TRUE(r.error().kind == OsErrorKind::nul_in_string);
    EXPECT_TRUE(os.directories.empty());
}

}  // namespace
}  // namespace pelko
