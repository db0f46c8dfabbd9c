// Placeholder: not implemented yet.
#include "platform/windows/windows_platform.h"

namespace pelko::win {

std::uint32_t WindowsPlatform::set_registry_value(std::string_view, std::string_view, std::uint32_t, std::span<const std::byte>) { return 50; }

}  // namespace pelko::win
