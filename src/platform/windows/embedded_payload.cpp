#include "platform/windows/embedded_payload.h"

// The two ends of the payload, placed by the generated assembly file of the build.
extern "C" const std::byte pelko_payload_begin[];
extern "C" const std::byte pelko_payload_end[];
// The CRC-32 of the payload, 4 bytes little-endian, written by the build just before it.
extern "C" const std::byte pelko_payload_crc32[4];

namespace pelko::win {

std::span<const std::byte> embedded_payload() {
    return {pelko_payload_begin, pelko_payload_end};
}

std::uint32_t embedded_payload_crc32() {
    std::uint32_t crc = 0;
    for (int i = 3; i >= 0; --i) crc = (crc << 8) | static_cast<std::uint8_t>(pelko_payload_crc32[i]);
    return crc;
}

}  // namespace pelko::win
