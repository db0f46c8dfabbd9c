#include "fake_platform.h"

namespace pelko::testing {

OsResult<void> FakePlatform::set_registry_value(std::string_view subkey, std::string_view name,
                                                std::uint32_t type,
                                                std::span<const std::byte> data) {
    if (const auto code = enter("set_registry_value", std::string(name))) {
        return std::unexpected(injected_error(*code));
    }
    registry[{std::string(subkey), std::string(name)}] =
        RegistryValue{type, std::string(reinterpret_cast<const char*>(data.data()), data.size())};
    return {};
}

}  // namespace pelko::testing
