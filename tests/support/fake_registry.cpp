#include "fake_platform.h"

namespace pelko::testing {

OsResult<void> FakePlatform::set_registry_value(std::string_view subkey, std::string_view name,
                                                std::uint32_t type,
                                                std::span<const std::byte> data) {
    if (subkey.find('\0') != std::string_view::npos || name.find('\0') != std::string_view::npos) {
        return std::unexpected(OsError::nul());
    }
    if (const auto code = enter("set_registry_value", std::string(name))) {
        return std::unexpected(injected_error(*code));
    }
    registry[{std::string(subkey), std::string(name)}] =
        RegistryValue{type, std::string(reinterpret_cast<const char*>(data.data()), data.size())};
    return {};
}

std::vector<ExpectedValue> FakePlatform::registry_values(std::string_view subkey) const {
    std::vector<ExpectedValue> values;  // the map keeps them sorted by subkey, then name
    for (const auto& [key, value] : registry) {
        if (key.first == subkey) values.push_back({key.second, value.type, value.data});
    }
    return values;
}

}  // namespace pelko::testing
