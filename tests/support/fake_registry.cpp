// Placeholder: not implemented yet.
#include "fake_platform.h"

namespace pelko::testing {

std::uint32_t FakePlatform::set_registry_value(std::string_view, std::string_view, std::uint32_t, std::span<const std::byte>) { return 50; }

}  // namespace pelko::testing
