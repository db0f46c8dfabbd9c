#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include "payload/container/payload_failure.h"

namespace pelko {

// The CRC-32 (zlib's, the one of zip and PNG) of the stored payload: every byte of the embedded
// range, the raw DEFLATE stream included whole. With `before`, the CRC-32 of the bytes before
// these, it goes on from there: the CRC-32 of all of them.
std::uint32_t payload_crc32(std::span<const std::byte> stored, std::uint32_t before = 0);

// Raw DEFLATE carries no checksum, so a damaged stream may inflate to wrong bytes. The build
// records the CRC-32 of the stored payload beside it; this compares. A mismatch fails as
// damaged.
PayloadResult<void> check_payload_crc32(std::span<const std::byte> stored, std::uint32_t recorded);

}  // namespace pelko
