#include "registration/uninstall_entry.h"

#include <gtest/gtest.h>

#include <map>

#include "fake_platform.h"

namespace pelko {
namespace {

using testing::FakePlatform;
using Value = FakePlatform::RegistryValue;

constexpr std::string_view kSubkey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pelko";

// The REG_SZ bytes written for a text: UTF-16LE and one NUL unit.
std::string utf16le_with_nul(std::u16string_view units) {
    std::string bytes;
    for (const char16_t u : units) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8);
    }
    bytes += std::string(2, '\0');
    return bytes;
}

std::string dword(std::uint32_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
            static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
}

const Value& value(const FakePlatform& os, const std::string& name) {
    return os.registry.at({std::string(kSubkey), name});
}

struct UninstallEntryTest : ::testing::Test {
    FakePlatform os;
    const std::string uninstall =
        uninstall_command("C:\\Users\\a\\AppData\\Local\\Programs\\Pelko\\pelko-guard.exe");
    UninstallEntry entry{"Pelko",
                         "0.1.1",
                         "Daskove",
                         "C:\\Users\\\xC3\x85sa\xF0\x9F\x98\x80\\Programs\\Pelko",  // Åsa😀
                         "C:\\Users\\a\\AppData\\Local\\Programs\\Pelko\\pelko.exe",
                         uninstall,
                         0x01020304};

    // The nine values the entry is, by name: types and bytes as the registry keeps them.
    std::map<std::string, Value> nine_values() const {
        return {
            {"DisplayName", Value{1, utf16le_with_nul(u"Pelko")}},
            {"DisplayVersion", Value{1, utf16le_with_nul(u"0.1.1")}},
            {"Publisher", Value{1, utf16le_with_nul(u"Daskove")}},
            // A supplementary character is a surrogate pair: two units, four bytes.
            {"InstallLocation",
             Value{1, utf16le_with_nul(u"C:\\Users\\Åsa\xD83D\xDE00\\Programs\\Pelko")}},
            {"DisplayIcon", Value{1, utf16le_with_nul(u"C:\\Users\\a\\AppData\\Local\\Programs\\"
                                                      u"Pelko\\pelko.exe")}},
            {"UninstallString",
             Value{1, utf16le_with_nul(u"\"C:\\Users\\a\\AppData\\Local\\Programs\\Pelko\\"
                                       u"pelko-guard.exe\" --uninstall")}},
            {"EstimatedSize", Value{4, std::string("\x04\x03\x02\x01", 4)}},
            {"NoModify", Value{4, dword(1)}},
            {"NoRepair", Value{4, dword(1)}},
        };
    }
    // The values written under the uninstall key, by name.
    std::map<std::string, Value> written() const {
        std::map<std::string, Value> values;
        for (const auto& [key, value] : os.registry) {
            if (key.first == kSubkey) values[key.second] = value;
        }
        return values;
    }
};

TEST_F(UninstallEntryTest, NineValuesWithTypesAndData) {
    EXPECT_TRUE(write_uninstall_entry(os, entry));
    EXPECT_EQ(os.registry.size(), 9u);  // nothing beside the uninstall key
    EXPECT_EQ(written(), nine_values());
    // The byte counts: UTF-16 units and one NUL unit.
    EXPECT_EQ(value(os, "DisplayName").data.size(), 12u);
    EXPECT_EQ(value(os, "InstallLocation").data.size(), 2u * (29 + 1));
    EXPECT_EQ(uninstall.size(), 69u);
    EXPECT_EQ(value(os, "UninstallString").data.size(), 140u);
}

TEST_F(UninstallEntryTest, EmptyTextIsOneNulUnit) {
    entry.install_location = "";
    EXPECT_TRUE(write_uninstall_entry(os, entry));
    EXPECT_EQ(value(os, "InstallLocation"), (Value{1, std::string(2, '\0')}));
}

TEST_F(UninstallEntryTest, AFailedWriteGivesFalseAndTheOtherEightAreWritten) {
    for (const auto& [failing, unused] : nine_values()) {
        SCOPED_TRACE(failing);
        os.registry.clear();
        os.fail_with = [&](std::string_view, const std::string& name) {
            return name == failing ? std::optional<std::uint32_t>(5) : std::nullopt;
        };
        EXPECT_FALSE(write_uninstall_entry(os, entry));
        std::map<std::string, Value> expected = nine_values();
        expected.erase(failing);
        EXPECT_EQ(written(), expected);
    }
}

TEST(EstimatedSize, KibibytesRoundedDownAndCutTo32Bits) {
    EXPECT_EQ(estimated_size_kib(0), 0u);
    EXPECT_EQ(estimated_size_kib(1023), 0u);
    EXPECT_EQ(estimated_size_kib(1024), 1u);
    EXPECT_EQ(estimated_size_kib(2047), 1u);
    EXPECT_EQ(estimated_size_kib(2048), 2u);
    constexpr std::uint64_t kFourTiB = 1ULL << 42;
    EXPECT_EQ(estimated_size_kib(kFourTiB - 1), 0xFFFFFFFFu);
    EXPECT_EQ(estimated_size_kib(kFourTiB), 0u);
    EXPECT_EQ(estimated_size_kib(kFourTiB + 5 * 1024 + 1023), 5u);
    EXPECT_EQ(estimated_size_kib(~0ULL), 0xFFFFFFFFu);
}

}  // namespace
}  // namespace pelko
