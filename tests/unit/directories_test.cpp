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

// The walk decides on the kind of the code Windows gives: every not-found code sends it up to
// the parent (and back down), an already-exists code on a directory is no error, any other code
// ends it with that code.
TEST(CreateDirectoryAll, DecidesOnTheKindOfEachCodeWindowsGives) {
    const auto failing_once = [](FakePlatform& os, std::string path, std::uint32_t code) {
        os.fail_with = [path, code, done = false](std::string_view op,
                                                  const std::string& arg) mutable
            -> std::optional<std::uint32_t> {
            if (op != "create_directory" || arg != path || done) return std::nullopt;
            done = true;
            return code;
        };
    };
    for (const std::uint32_t code : {2u, 3u, 15u, 53u, 67u}) {
        FakePlatform os;
        os.add_directory("C:\\d");
        failing_once(os, "C:\\d\\x\\y", code);
        EXPECT_TRUE(create_directory_all(os, OsString::from_utf8("C:\\d\\x\\y"))) << code;
        EXPECT_TRUE(os.directories.contains("c:\\d\\x\\y")) << code;
    }
    for (const std::uint32_t code : {80u, 183u}) {
        FakePlatform os;
        os.add_directory("C:\\d");
        failing_once(os, "C:\\d", code);
        EXPECT_TRUE(create_directory_all(os, OsString::from_utf8("C:\\d"))) << code;
    }
    for (const std::uint32_t code : {5u, 32u, 123u}) {
        FakePlatform os;
        os.add_directory("C:\\d");
        failing_once(os, "C:\\d\\x", code);
        const auto made = create_directory_all(os, OsString::from_utf8("C:\\d\\x\\y"));
        ASSERT_FALSE(made) << code;
        EXPECT_EQ(made.error().code, code);
        EXPECT_EQ(os.directories, (std::set<std::string>{"c:\\d"})) << code;
    }
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
