#include "registration/uninstall_entry.h"

#include <gtest/gtest.h>

#include <map>

#include "expected.h"
#include "fake_platform.h"
#include "shared/product.h"

namespace pelko {
namespace {

using testing::FakePlatform;
using Value = FakePlatform::RegistryValue;

const Value& value(const FakePlatform& os, const std::string& name) {
    return os.registry.at({std::string(kUninstallSubkey), name});
}

struct UninstallEntryTest : ::testing::Test {
    FakePlatform os;
    // In the install directory a supplementary character: a surrogate pair, two units (Åsa😀).
    const std::string install_dir = "C:\\Users\\\xC3\x85sa\xF0\x9F\x98\x80\\Programs\\Pelko";
    const std::uint64_t total = (std::uint64_t{0x01020304} << 10) + 1023;
    const std::string app = testing::app_exe_of(install_dir);
    const std::string uninstall = uninstall_command(testing::guard_exe_of(install_dir));
    UninstallEntry entry{kDisplayName, kProductVersion, kPublisher, install_dir,
                         app,          uninstall,       estimated_size_kib(total)};

    // The nine values the entry is, by name: types and bytes as the registry keeps them.
    std::map<std::string, Value> nine_values() const {
        std::map<std::string, Value> values;
        for (const auto& value : testing::expected_uninstall_values(install_dir, total)) {
            values[value.name] = Value{value.type, value.data};
        }
        return values;
    }
    // The values written under the uninstall key, by name.
    std::map<std::string, Value> written() const {
        std::map<std::string, Value> values;
        for (const auto& [key, value] : os.registry) {
            if (key.first == kUninstallSubkey) values[key.second] = value;
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
