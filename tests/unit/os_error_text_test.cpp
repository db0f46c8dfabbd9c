#include "shared/os_error_text.h"

#include <gtest/gtest.h>

#include "fake_platform.h"

namespace pelko {
namespace {

using testing::FakePlatform;

TEST(OsErrorText, SystemMessageWithTrailingWhiteSpaceCut) {
    FakePlatform os;
    os.system_messages[5] = u"Access is denied. \t\r\n\f";
    EXPECT_EQ(os_error_text(os, 5), "Access is denied. (os error 5)");
}

TEST(OsErrorText, NtStatusBitLooksUpNtdllWithoutTheBit) {
    FakePlatform os;
    os.ntdll_messages[0xC0000022] = u"{Access Denied}\r\n";
    // The same number in the system's table has another text: only ntdll's gives this one.
    os.system_messages[0xC0000022] = u"wrong table\r\n";
    os.system_messages[0xD0000022] = u"wrong number\r\n";
    EXPECT_EQ(os_error_text(os, 0xD0000022), "{Access Denied} (os error 3489660962)");
}

TEST(OsErrorText, FallbackTexts) {
    FakePlatform os;
    EXPECT_EQ(os_error_text(os, 99999), "OS Error 99999 (FormatMessageW() returned error 317)");
    os.system_messages[7] = std::u16string{u'b', u'a', u'd', 0xDC00, u'\n'};
    EXPECT_EQ(os_error_text(os, 7), "OS Error 7 (FormatMessageW() returned invalid UTF-16)");
}

TEST(OsErrorText, NonAsciiMessageIsConverted) {
    FakePlatform os;
    os.system_messages[2] = u"Le fichier sp\u00e9cifi\u00e9 est introuvable.\r\n";
    EXPECT_EQ(os_error_text(os, 2), "Le fichier sp\xC3\xA9" "cifi\xC3\xA9 est introuvable. (os error 2)");
}

TEST(ErrorText, NulInStringHasItsOwnText) {
    FakePlatform os;
    EXPECT_EQ(error_text(os, OsError::nul()), "strings passed to WinAPI cannot contain NULs");
    EXPECT_EQ(error_text(os, (OsError{OsErrorKind::not_found, 3})),
              "The system cannot find the path specified. (os error 3)");
}

}  // namespace
}  // namespace pelko
