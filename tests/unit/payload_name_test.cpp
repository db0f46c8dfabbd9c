// Names that Windows would turn into a device or an alternate data stream: refused by the
// plain-relative-path rule, so the installer never writes to a device or into another file.
#include "payload/payload_name.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "payload/file_name_key.h"
#include "payload/read_payload.h"
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
        EXPECT_EQ(read.error().text, std::string("bad name ") + name);
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

// A component in the form of a short name could be the alias Windows made for another file's
// long name (NTFS "A~1.NEW" and Wine "A~~~~YNS.NEW" for "a.newer"): so could the staging file's.
TEST(PayloadName, ShortNameFormsWithATildeAreRefused) {
    for (const char* name : {"A~1.NEW", "a~1.new", "PROGRA~1/pelko.exe", "A~~~~YNS.dll",
                             "sub/ABCDEF~9", "a~1 .txt.", "\xc3\xa9~1.txt", "a~b.config"}) {
        EXPECT_FALSE(is_acceptable_payload_name(name)) << name;
        const auto read = read_payload(ContainerBuilder{}.entry(name, "x").bytes);
        ASSERT_FALSE(read.has_value()) << name;
        EXPECT_EQ(read.error().text, std::string("bad name ") + name);
    }
    // A '~' that ends the base, or a name too long for that form, is no such alias.
    for (const char* name : {"notes~.txt", "backup~", "file.txt~", "long~name.txt", "a~1.b.c.d",
                             "~", "sub~/readme~.md"}) {
        EXPECT_TRUE(is_acceptable_payload_name(name)) << name;
    }
}

TEST(PayloadName, AnyColonIsRefused) {
    // "a.txt:x" would write the stream x of the file a.txt; "a:b" is drive-relative.
    for (const char* name : {"ab:c", "notes.txt:hidden", "a.txt::$DATA", "dir/f:s", "x:", "a/b:"}) {
        EXPECT_FALSE(is_acceptable_payload_name(name)) << name;
        const auto read = read_payload(ContainerBuilder{}.entry(name, "x").bytes);
        ASSERT_FALSE(read.has_value()) << name;
        EXPECT_EQ(read.error().text, std::string("bad name ") + name);
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
