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
    EXPECT_EQ(os.calls_of("system_message"), std::vector<std::string>{"system_message 5 system"});
}

TEST(OsErrorText, NtStatusBitLooksUpNtdllWithoutTheBit) {
    FakePlatform os;
    os.ntdll_messages[0xC0000022] = u"{Access Denied}\r\n";
    EXPECT_EQ(os_error_text(os, 0xD0000022), "{Access Denied} (os error 3489660962)");
    EXPECT_EQ(os.calls_of("system_message"),
              std::vector<std::string>{"system_message 3221225506 ntdll"});
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
