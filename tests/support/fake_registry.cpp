#include "fake_platform.h"

namespace pelko::testing {

std::uint32_t FakePlatform::set_registry_value(std::string_view subkey, std::string_view name,
                                               std::uint32_t type,
                                               std::span<const std::byte> data) {
    if (const auto code = enter("set_registry_value", std::string(name))) return *code;
    registry[{std::string(subkey), std::string(name)}] =
        RegistryValue{type, std::string(reinterpret_cast<const char*>(data.data()), data.size())};
    return 0;
}

}  // namespace pelko::testing
