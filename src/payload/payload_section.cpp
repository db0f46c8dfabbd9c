#include "payload/payload_section.h"

#include "payload/little_endian.h"
#include "payload/payload_checksum.h"
#include "payload/stream_index.h"

namespace pelko {
namespace {

constexpr std::size_t kHeaderSize = 4 + 4;

}  // namespace

std::vector<std::byte> encode_payload_section(std::span<const std::byte> stored,
                                              std::span<const std::byte> index) {
    std::vector<std::byte> section;
    section.reserve(kHeaderSize + stored.size() + index.size());
    append_le(section, payload_crc32(stored), 4);
    append_le(section, stored.size(), 4);
    section.insert(section.end(), stored.begin(), stored.end());
    section.insert(section.end(), index.begin(), index.end());
    return section;
}

std::optional<EmbeddedPayload> parse_payload_section(std::span<const std::byte> section) {
    if (section.size() < kHeaderSize) return std::nullopt;
    const std::uint64_t length = read_le(section, 4, 4);
    if (length > section.size() - kHeaderSize) return std::nullopt;
    const std::span<const std::byte> stored = section.subspan(kHeaderSize, length);
    // The index says how long it is: its piece count comes first; what follows is padding.
    const std::span<const std::byte> rest = section.subspan(kHeaderSize + length);
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
