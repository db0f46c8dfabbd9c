#include "payload/unpack/payload_section.h"

#include <algorithm>
#include <vector>

#include "payload/container/little_endian.h"
#include "payload/inflate/payload_checksum.h"
#include "payload/inflate/stream_index.h"

namespace pelko {

std::array<std::byte, kPayloadSectionHeaderSize> payload_section_header(std::uint32_t crc32,
                                                                        std::uint64_t stored_size) {
    std::vector<std::byte> bytes;
    append_le(bytes, crc32, 4);
    append_le(bytes, stored_size, 4);
    std::array<std::byte, kPayloadSectionHeaderSize> header;
    std::ranges::copy(bytes, header.begin());
    return header;
}

std::vector<std::byte> encode_payload_section(std::span<const std::byte> stored,
                                              std::span<const std::byte> index) {
    const auto header = payload_section_header(payload_crc32(stored), stored.size());
    std::vector<std::byte> section(header.begin(), header.end());
    section.reserve(header.size() + stored.size() + index.size());
    section.insert(section.end(), stored.begin(), stored.end());
    section.insert(section.end(), index.begin(), index.end());
    return section;
}

std::optional<EmbeddedPayload> parse_payload_section(std::span<const std::byte> section) {
    if (section.size() < kPayloadSectionHeaderSize) return std::nullopt;
    const std::uint64_t length = read_le(section, 4, 4);
    if (length > section.size() - kPayloadSectionHeaderSize) return std::nullopt;
    const std::span<const std::byte> stored = section.subspan(kPayloadSectionHeaderSize, length);
    // The index says how long it is: its piece count comes first; what follows is padding.
    const std::span<const std::byte> rest = section.subspan(kPayloadSectionHeaderSize + length);
    std::span<const std::byte> index;
    if (rest.size() >= kIndexHeaderSize + kIndexCrcSize) {
        const std::uint64_t pieces = read_le(rest, 0, 4);
        const std::uint64_t size = kIndexHeaderSize + pieces * kIndexPieceSize + kIndexCrcSize;
        if (pieces >= 1 && pieces <= kMaxIndexPieces && size <= rest.size()) {
            index = rest.first(static_cast<std::size_t>(size));
        }
    }
    return EmbeddedPayload(stored, static_cast<std::uint32_t>(read_le(section, 0, 4)), index);
}

}  // namespace pelko
