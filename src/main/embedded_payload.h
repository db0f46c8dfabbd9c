#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace pelko::win {

// The compressed payload linked into the executable: one read-only byte range.
std::span<const std::byte> embedded_payload();

// The CRC-32 of that range as the build recorded it beside the payload.
std::uint32_t embedded_payload_crc32();

// The index of the payload's stream as the build recorded it after the payload.
std::span<const std::byte> embedded_payload_index();

}  // namespace pelko::win
