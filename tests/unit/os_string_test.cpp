#include "platform/os_string.h"

#include <gtest/gtest.h>

#include "platform/path.h"

namespace pelko {
namespace {

TEST(OsString, LoneSurrogatesSurviveTheRoundTripAndShowAsReplacement) {
    const std::u16string units = {u'a', 0xD800, u'b', 0xDC01, 0xD83D, 0xDE00, 0xDBFF};
    const OsString s = OsString::from_utf16(units);
    EXPECT_EQ(s.to_utf16(), units);
    EXPECT_EQ(s.to_text(), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD\xF0\x9F\x98\x80\xEF\xBF\xBD");
    EXPECT_EQ(utf16_to_text(units), s.to_text());
    EXPECT_FALSE(utf16_to_utf8_strict(units).has_value());
    EXPECT_EQ(utf16_to_utf8_strict(u"h\u00e9\u4e2d"), "h\xC3\xA9\xE4\xB8\xAD");
}

TEST(OsString, AppendingSurrogateHalvesMakesOnePair) {
    OsString s = OsString::from_utf16(std::u16string{u'x', 0xD83D});
    s.append(OsString::from_utf16(std::u16string{0xDE00, u'y'}));
    EXPECT_EQ(s.to_text(), "x\xF0\x9F\x98\x80y");
    EXPECT_EQ(s, OsString::from_utf16(std::u16string{u'x', 0xD83D, 0xDE00, u'y'}));
}

TEST(OsString, Utf8Validation) {
    EXPECT_TRUE(is_valid_utf8("plain"));
    EXPECT_TRUE(is_valid_utf8("\xF4\x8F\xBF\xBF"));
    EXPECT_FALSE(is_valid_utf8("\xC0\xAF"));          // overlong
    EXPECT_FALSE(is_valid_utf8("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(is_valid_utf8("\xF4\x90\x80\x80"));  // above U+10FFFF
    EXPECT_FALSE(is_valid_utf8("\xE4\xB8"));          // cut short
    EXPECT_FALSE(is_valid_utf8("\x80"));
}

TEST(PathJoin, OneSeparatorUnlessTheBaseEndsInOneOrIsABareDrive) {
    const auto join = [](const char* base, const char* rel) {
        return path_join(OsString::from_utf8(base), rel).wtf8();
    };
    EXPECT_EQ(join("C:\\Users\\a\\AppData\\Local", "Programs\\Pelko"),
              "C:\\Users\\a\\AppData\\Local\\Programs\\Pelko");
    EXPECT_EQ(join("C:\\x\\", "y"), "C:\\x\\y");
    EXPECT_EQ(join("C:\\x/", "y"), "C:\\x/y");
    EXPECT_EQ(join("C:", "y"), "C:y");
    EXPECT_EQ(join("", "Programs\\Pelko"), "Programs\\Pelko");
    EXPECT_EQ(join("C:\\x", "sub/readme.txt"), "C:\\x\\sub/readme.txt");
}

TEST(WindowsParent, KeepsPrefixAndRoot) {
    const auto parent = [](const char* p) -> std::string {
        const auto r = windows_parent(OsString::from_utf8(p));
        return r ? r->wtf8() : "<none>";
    };
    EXPECT_EQ(parent("C:\\a\\b"), "C:\\a");
    EXPECT_EQ(parent("C:\\a"), "C:\\");
    EXPECT_EQ(parent("C:\\"), "<none>");
    EXPECT_EQ(parent("C:"), "<none>");
    EXPECT_EQ(parent("C:a"), "C:");
    EXPECT_EQ(parent("C:\\a\\b\\"), "C:\\a");
    EXPECT_EQ(parent("C:\\a/sub/f.txt"), "C:\\a/sub");
    EXPECT_EQ(parent("\\\\server\\share\\x"), "\\\\server\\share\\");
    EXPECT_EQ(parent("\\\\server\\share"), "<none>");
    EXPECT_EQ(parent("\\\\?\\C:\\a\\b"), "\\\\?\\C:\\a");
    EXPECT_EQ(parent("\\\\?\\C:\\a"), "\\\\?\\C:\\");
    EXPECT_EQ(parent("\\\\?\\UNC\\s\\h\\x"), "\\\\?\\UNC\\s\\h\\");
    EXPECT_EQ(parent("Programs\\Pelko"), "Programs");
    EXPECT_EQ(parent("Programs"), "");
    EXPECT_EQ(parent(""), "<none>");
    EXPECT_EQ(parent("\\"), "<none>");
    EXPECT_EQ(parent("\\a"), "\\");
}

}  // namespace
}  // namespace pelko
