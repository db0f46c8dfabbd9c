#include "platform/windows/embedded_payload.h"

// The two ends of the payload, placed by the generated assembly file of the build.
extern "C" const std::byte pelko_payload_begin[];
extern "C" const std::byte pelko_payload_end[];

namespace pelko::win {

std::span<const std::byte> embedded_payload() {
    return {pelko_payload_begin, pelko_payload_end};
}

}  // namespace pelko::win
