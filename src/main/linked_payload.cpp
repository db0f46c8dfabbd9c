#include "main/linked_payload.h"

#include "payload/little_endian.h"

// The places in the payload section, set by the generated assembly file of the build.
extern "C" const std::byte pelko_payload_begin[];
extern "C" const std::byte pelko_payload_end[];
// The CRC-32 of the payload, 4 bytes little-endian, written by the build just before it.
extern "C" const std::byte pelko_payload_crc32[4];
// The stream's index, written by the build after the payload.
extern "C" const std::byte pelko_payload_index_begin[];
extern "C" const std::byte pelko_payload_index_end[];

namespace pelko::win {

EmbeddedPayload linked_payload() {
    const auto crc = static_cast<std::uint32_t>(read_le(pelko_payload_crc32, 0, 4));
    return EmbeddedPayload(std::span(pelko_payload_begin, pelko_payload_end), crc,
                           std::span(pelko_payload_index_begin, pelko_payload_index_end));
}

}  // namespace pelko::win
