#include "registration/start_app.h"

#include <gtest/gtest.h>

#include "fake_platform.h"

namespace pelko {
namespace {

using testing::FakePlatform;

TEST(StartInstalledApp, QuotedPathAloneAndNotWaitedFor) {
    FakePlatform os;
    const std::string guard = "C:\\Users\\a b\\AppData\\Local\\Programs\\Pelko\\pelko-guard.exe";
    os.files[FakePlatform::normalize(OsString::from_utf8(guard))];
    ASSERT_TRUE(start_installed_app(os, OsString::from_utf8(guard)));
    ASSERT_EQ(os.started.size(), 1u);
    EXPECT_EQ(os.started[0].program, guard);
    EXPECT_EQ(os.started[0].command_line, "\"" + guard + "\"");
    EXPECT_FALSE(os.started[0].waited);
}

TEST(StartInstalledApp, ExactPathWithALoneSurrogate) {
    FakePlatform os;
    const OsString guard = OsString::from_utf16(u"C:\\x\xDC01y\\pelko-guard.exe");
    os.files[FakePlatform::normalize(guard)];  // only the exact path is found
    ASSERT_TRUE(start_installed_app(os, guard));
    EXPECT_EQ(os.started.size(), 1u);
}

TEST(StartInstalledApp, ErrorOfTheStartIsReturned) {
    FakePlatform os;
    const auto missing = start_installed_app(os, OsString::from_utf8("C:\\gone\\pelko-guard.exe"));
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error(), (OsError{OsErrorKind::not_found, 2}));
    const auto nul =
        start_installed_app(os, OsString::from_utf8(std::string("C:\\a\0b\\pelko-guard.exe", 22)));
    ASSERT_FALSE(nul);
    EXPECT_TRUE(nul.error().kind == OsErrorKind::nul_in_string);
}

}  // namespace
}  // namespace pelko
