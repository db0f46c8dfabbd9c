#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "payload/unpack/embedded_payload.h"

namespace pelko {

// The name of the PE section in which pelko-setup.exe carries its payload.
inline constexpr char kPayloadSectionName[] = ".payload";

// The contents of that section, the one record of the payload in the executable: the CRC-32 of
// the stored stream and the stream's length (4 bytes each, little-endian), the stored stream,
// then the index of the stream (see stream_index.h; none: nothing). The packer writes it whole;
// the build places it; the linker may pad it with zeros.
std::vector<std::byte> encode_payload_section(std::span<const std::byte> stored,
                                              std::span<const std::byte> index);

// The header of that section, which the stored stream and then the index follow: for a writer
// that streams the section instead of holding it whole.
inline constexpr std::size_t kPayloadSectionHeaderSize = 4 + 4;
std::array<std::byte, kPayloadSectionHeaderSize> payload_section_header(std::uint32_t crc32,
                                                                        std::uint64_t stored_size);

// The payload of a section's contents: the stream by its recorded length and CRC-32, and the
// index as long as its piece count says (empty when none fits there). Nothing when the section
// is too short for its header or its stream. Views the section's bytes.
std::optional<EmbeddedPayload> parse_payload_section(std::span<const std::byte> section);

}  // namespace pelko
