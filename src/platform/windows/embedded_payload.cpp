#include "platform/windows/embedded_payload.h"

namespace pelko::win {

std::span<const std::byte> embedded_payload() { return {}; }

}  // namespace pelko::win
