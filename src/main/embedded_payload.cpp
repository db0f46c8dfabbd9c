#include "main/embedded_payload.h"

// The two ends of the payload, placed by the generated assembly file of the build.
extern "C" const std::byte pelko_payload_begin[];
extern "C" const std::byte pelko_payload_end[];
// The CRC-32 of the payload, 4 bytes little-endian, written by the build just before it.
extern "C" const std::byte pelko_payload_crc32[4];
// The stream's index, written by the build after the payload.
extern "C" const std::byte pelko_payload_index_begin[];
extern "C" const std::byte pelko_payload_index_end[];

namespace pelko::win {

std::span<const std::byte> embedded_payload() {
    return {pelko_payload_begin, pelko_payload_end};
}

std::uint32_t embedded_payload_crc32() {
    std::uint32_t crc = 0;
    for (int i = 3; i >= 0; --i) crc = (crc << 8) | static_cast<std::uint8_t>(pelko_payload_crc32[i]);
    return crc;
}

std::span<const std::byte> embedded_payload_index() {
    return {pelko_payload_index_begin, pelko_payload_index_end};
}

}  // namespace pelko::win
