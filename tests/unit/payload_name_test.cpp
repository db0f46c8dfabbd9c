// Names that Windows would turn into a device or an alternate data stream: refused by the
// plain-relative-path rule, so the installer never writes to a device or into another file.
#include "payload/payload_name.h"

#include <gtest/gtest.h>

#include <string>

#include "payload/read_payload.h"
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

TEST(PayloadName, AnyColonIsRefused) {
    // "a.txt:x" would write the stream x of the file a.txt; "a:b" is drive-relative.
    for (const char* name : {"ab:c", "notes.txt:hidden", "a.txt::$DATA", "dir/f:s", "x:", "a/b:"}) {
        EXPECT_FALSE(is_acceptable_payload_name(name)) << name;
        const auto read = read_payload(ContainerBuilder{}.entry(name, "x").bytes);
        ASSERT_FALSE(read.has_value()) << name;
        EXPECT_EQ(read.error().text, std::string("bad name ") + name);
    }
}

}  // namespace
}  // namespace pelko
