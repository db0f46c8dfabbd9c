#include "payload/payload_checksum.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

namespace pelko {

std::uint32_t payload_crc32(std::span<const std::byte> stored, std::uint32_t before) {
    uLong crc = before;
    while (!stored.empty()) {
        // zlib counts in 32-bit units: longer ranges go in pieces.
        const std::size_t piece = std::min<std::size_t>(stored.size(), UINT_MAX);
        crc = crc32(crc, reinterpret_cast<const Bytef*>(stored.data()), static_cast<uInt>(piece));
        stored = stored.subspan(piece);
    }
    return static_cast<std::uint32_t>(crc);
}

StepResult<void> check_payload_crc32(std::span<const std::byte> stored, std::uint32_t recorded) {
    if (payload_crc32(stored) != recorded) return fail(std::string(kPayloadDamagedText));
    return {};
}

}  // namespace pelko
