// Names that Windows would turn into a device or an alternate data stream: refused by the
// plain-relative-path rule, so the installer never writes to a device or into another file.
#include "payload/names/payload_name.h"
#include "payload/names/short_alias.h"

#include <gtest/gtest.h>

#include <tuple>

#include <fstream>
#include <string>

#include "payload/names/file_name_key.h"
#include "payload/container/read_payload.h"
#include "platform/os_string.h"
#include "payload_builder.h"

namespace pelko {
namespace {

using testing::ContainerBuilder;

TEST(PayloadName, DeviceNamesInAnyComponentAreRefused) {
    const char* const refused[] = {
        "CON", "con", "NUL", "nul.txt", "aux.txt", "Aux .log", "PRN.tar.gz", "COM1", "com9.dll",
        "LPT0", "lpt5.x", "CONIN$", "conout$.txt", "COM\xC2\xB9", "lpt\xC2\xB3.txt", "sub/CON",
        "sub\\nul.txt", "aux/readme.txt", "a/Prn/b.txt",
    };
    for (const char* name : refused) {
        EXPECT_FALSE(is_acceptable_payload_name(name)) << name;
        const auto read = read_payload(ContainerBuilder{}.entry(name, "x").bytes);
        ASSERT_FALSE(read.has_value()) << name;
        EXPECT_EQ(read.error().text(), std::string("bad name ") + name);
    }
}

TEST(PayloadName, NamesThatOnlyLookLikeDevicesPass) {
    const char* const accepted[] = {
        "CONFIG", "console.txt", "nullable.h", "auxiliary/x", "COM10", "LPT", "COMA.txt",
        "sub/xcon", "prn_/a", ".con", "COM\xC2\xB4", "con_/nul_.txt", "lpt1x",
    };
    for (const char* name : accepted) {
        EXPECT_TRUE(is_acceptable_payload_name(name)) << name;
        EXPECT_TRUE(read_payload(ContainerBuilder{}.entry(name, "x").bytes).has_value()) << name;
    }
}

// A name in the form of a short name is refused only beside a name of its folder whose alias it
// could be (see the reader's test); alone, and beside names that get no alias or another one,
// ordinary names with a '~' install.
TEST(ShortAlias, OnlyNamesWhoseAliasCouldBeTheShortFormCount) {
    for (const char* name : {"~readme.txt", "icons/~close.png", "a~b.txt", "v~1/lib.dll",
                             "my~app.json", "A~1.TXT", "PROGRA~1/pelko.exe"}) {
        EXPECT_TRUE(is_acceptable_payload_name(name)) << name;
        EXPECT_TRUE(read_payload(ContainerBuilder{}.entry(name, "x").bytes).has_value()) << name;
    }
    // Valid 8.3 names, letter case aside, get no alias; the others do.
    for (const char* name : {"pelko.exe", "README.TXT", "a~b.txt", "x", "a-b_c!.{}"}) {
        EXPECT_FALSE(gets_short_alias(name)) << name;
    }
    for (const char* name : {"pelko-guard.exe", ".config", "a.b.c", "a b.txt", "a+b.txt",
                             "\xc3\xa9.txt", "a.json", "abcdefghi"}) {
        EXPECT_TRUE(gets_short_alias(name)) << name;
    }
    // The first characters, cleaned as Windows cleans them, and the extension's start.
    const std::tuple<const char*, const char*, bool> pairs[] = {
        {"A~1.NEW", "a.newer", true},          {"A~~~~YNS.NEW", "a.newer", true},
        {"A~1.NEW", "b.newer", false},         {"A~1.dll", "a.newer", false},
        {"A~1", "a.newer", true},              {"PROGRA~1", "Program Files", true},
        {"CONFIG~1", ".config", true},         {"X~1", ".config", true},
        {"_~1.TXT", "+plus.txt", true},        {"\xc3\xa9~1.txt", "long name.txt", true},
        {"L~1.T_T", "long.t+t", true},         {"L~1.TXT", "long.t xt", true},
        {"L~1.TXT", "long.tmp", false},        {"L~1.TXT", "longtxt", false},
    };
    for (const auto& [short_form, long_name, could] : pairs) {
        EXPECT_EQ(could_be_short_alias(short_form, long_name), could)
            << short_form << " for " << long_name;
    }
}

TEST(PayloadName, AnyColonIsRefused) {
    // "a.txt:x" would write the stream x of the file a.txt; "a:b" is drive-relative.
    for (const char* name : {"ab:c", "notes.txt:hidden", "a.txt::$DATA", "dir/f:s", "x:", "a/b:"}) {
        EXPECT_FALSE(is_acceptable_payload_name(name)) << name;
        const auto read = read_payload(ContainerBuilder{}.entry(name, "x").bytes);
        ASSERT_FALSE(read.has_value()) << name;
        EXPECT_EQ(read.error().text(), std::string("bad name ") + name);
    }
}

// Two names that differ only by a letter and its simple uppercase (UnicodeData.txt, field 12)
// are one file to Windows: their keys are equal, across the whole plane the key covers.
TEST(FileNameKey, EquatesEveryLetterWithItsSimpleUppercase) {
    std::ifstream data(PELKO_UNICODE_DATA);
    ASSERT_TRUE(data) << PELKO_UNICODE_DATA;
    std::size_t pairs = 0;
    for (std::string line; std::getline(data, line);) {
        std::vector<std::string> fields;
        for (std::size_t start = 0;;) {
            const std::size_t end = line.find(';', start);
            fields.push_back(line.substr(start, end - start));
            if (end == std::string::npos) break;
            start = end + 1;
        }
        ASSERT_GE(fields.size(), 13u) << line;
        const auto letter = static_cast<char16_t>(std::stoul(fields[0], nullptr, 16));
        if (fields[12].empty() || std::stoul(fields[0], nullptr, 16) > 0xFFFF) continue;
        const unsigned long upper = std::stoul(fields[12], nullptr, 16);
        if (upper > 0xFFFF) continue;
        const std::string name = OsString::from_utf16(std::u16string(1, letter)).wtf8() + ".dll";
        const std::string upper_name =
            OsString::from_utf16(std::u16string(1, static_cast<char16_t>(upper))).wtf8() + ".DLL";
        EXPECT_EQ(file_name_key(name), file_name_key(upper_name)) << fields[0];
        ++pairs;
    }
    EXPECT_GT(pairs, 1100u);  // Unicode 15 has 1,190 in the plane
}

}  // namespace
}  // namespace pelko
