#include "setup/command_line.h"

#include <gtest/gtest.h>

namespace pelko {
namespace {

using Args = std::vector<std::u16string>;

TEST(SplitCommandLine, ProgramPathHasNoEscapes) {
    // Quotes toggle and vanish anywhere in the program path; backslashes stay literal.
    EXPECT_EQ(split_command_line(u"\"C:\\Program Files\\a\\\"b.exe x"),
              (Args{u"C:\\Program Files\\a\\b.exe", u"x"}));
    EXPECT_EQ(split_command_line(u"C:\\a\"b c\"d.exe"), (Args{u"C:\\ab cd.exe"}));
    EXPECT_EQ(split_command_line(u"prog\targ"), (Args{u"prog", u"arg"}));
    EXPECT_EQ(split_command_line(u"\"\" x"), (Args{u"", u"x"}));
}

TEST(SplitCommandLine, LaterArgumentsFollowQuoteAndBackslashRules) {
    const struct {
        std::u16string line;
        Args expected;
    } cases[] = {
        {u"p a  \t b", {u"p", u"a", u"b"}},
        {u"p \"a b\" c", {u"p", u"a b", u"c"}},
        {u"p \"a\"\"b\"", {u"p", u"a\"b"}},          // doubled quote inside quotes
        {u"p \"a\"\"\"", {u"p", u"a\""}},
        {u"p a\\\\b", {u"p", u"a\\\\b"}},            // backslashes not before a quote
        {u"p a\\\\\"b c\"", {u"p", u"a\\b c"}},      // 2 backslashes + quote: 1 and a quote
        {u"p a\\\\\\\"b", {u"p", u"a\\\"b"}},        // 3 backslashes + quote: 1 and a literal
        {u"p a\\\"b c", {u"p", u"a\"b", u"c"}},      // 1 backslash + quote: a literal quote
        {u"p \"\"", {u"p", u""}},                    // an empty quoted argument counts
        {u"p \"unterminated arg", {u"p", u"unterminated arg"}},
        {u"p a\"b\"c", {u"p", u"abc"}},
        {u"p   ", {u"p"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(split_command_line(c.line), c.expected)
            << std::string(c.line.begin(), c.line.end());
    }
}

TEST(SplitCommandLine, EmptyLineHasNoArguments) { EXPECT_TRUE(split_command_line(u"").empty()); }

TEST(UpdateMode, OnlyTheExactLaterArgumentCounts) {
    const struct {
        std::u16string line;
        bool update;
    } cases[] = {
        {u"setup.exe --update", true},
        {u"setup.exe x y --update", true},
        {u"setup.exe \"--update\"", true},
        {u"setup.exe --Update", false},
        {u"setup.exe --UPDATE", false},
        {u"setup.exe --update=1", false},
        {u"setup.exe /update", false},
        {u"setup.exe -update", false},
        {u"--update", false},          // the program path itself never counts
        {u"\"--update\" x", false},
        {u"setup.exe \"--update \"", false},
        {u"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(is_update_mode(split_command_line(c.line)), c.update)
            << std::string(c.line.begin(), c.line.end());
    }
}

TEST(UpdateMode, ArgumentWithLoneSurrogateNeverMatches) {
    std::u16string line = u"setup.exe --update";
    line.back() = 0xD800;
    EXPECT_FALSE(is_update_mode(split_command_line(line)));
}

}  // namespace
}  // namespace pelko
