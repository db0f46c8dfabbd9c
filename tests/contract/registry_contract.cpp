// Registry values as read back: what every platform does alike.
#include <string>

#include "expected.h"
#include "world.h"

namespace pelko::contract {
namespace {

using Registry = Contract;

constexpr std::uint32_t kText = 1;    // REG_SZ
constexpr std::uint32_t kBinary = 3;  // REG_BINARY
constexpr std::uint32_t kNumber = 4;  // REG_DWORD

// Each value keeps its type and exactly its bytes; the key is made with its missing parents, and
// a value written again is replaced.
TEST_F(Registry, ValuesKeepTheirTypesAndBytes) {
    const std::string key = world->registry_key() + "\\Uninstall\\Pelko";
    const auto set = [&](std::string_view name, std::uint32_t type, std::string_view data) {
        return os.set_registry_value(key, name, type, std::as_bytes(std::span(data)));
    };
    const std::string text = testing::reg_sz("C:\\Users\\\xC3\x85sa\\Pelko");
    const std::string number = testing::reg_dword(0x12345678);
    const std::string binary("\0\x01\xFF\0\0", 5);
    ASSERT_TRUE(set("InstallLocation", kText, text));
    ASSERT_TRUE(set("EstimatedSize", kNumber, number));
    ASSERT_TRUE(set("Raw", kBinary, binary));
    ASSERT_TRUE(set("Empty", kBinary, ""));
    EXPECT_EQ(world->registry_value(key, "InstallLocation"), (StoredValue{kText, text}));
    EXPECT_EQ(world->registry_value(key, "EstimatedSize"), (StoredValue{kNumber, number}));
    EXPECT_EQ(world->registry_value(key, "Raw"), (StoredValue{kBinary, binary}));
    EXPECT_EQ(world->registry_value(key, "Empty"), (StoredValue{kBinary, ""}));

    ASSERT_TRUE(set("Raw", kNumber, testing::reg_dword(1)));
    EXPECT_EQ(world->registry_value(key, "Raw"), (StoredValue{kNumber, testing::reg_dword(1)}));

    const auto refused = OsErrorKind::nul_in_string;
    EXPECT_EQ(failure_kind(set(std::string("Na\0me", 5), kText, text)), refused);
    EXPECT_EQ(failure_kind(os.set_registry_value(key + std::string("\0x", 2), "Name", kText,
                                                 std::as_bytes(std::span(text)))),
              refused);
    EXPECT_EQ(world->registry_value(key, "Na"), std::nullopt);
    EXPECT_EQ(world->registry_value(key, "Name"), std::nullopt);
}

}  // namespace
}  // namespace pelko::contract
