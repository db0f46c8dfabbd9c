#include "payload/inflate/stream_index.h"

#include <zlib.h>

#include <algorithm>

#include "payload/inflate/deflate_bounds.h"
#include "payload/container/little_endian.h"
#include "payload/inflate/payload_checksum.h"
#include "payload/inflate/piece_decoder.h"

namespace pelko {

bool fits_stream(const StreamIndex& index, std::uint64_t stored_size) {
    if (index.pieces.empty() || index.pieces.size() > kMaxIndexPieces) return false;
    if (index.pieces.front() != StreamPiece{}) return false;
    if (index.container_size > kMaxExpansion * stored_size + kExpansionSlack) return false;
    for (std::size_t i = 0; i < index.pieces.size(); ++i) {
        const StreamPiece& piece = index.pieces[i];
        if (piece.stored_offset >= stored_size || piece.container_offset >= index.container_size) {
            return false;
        }
        if (i != 0 && (piece.stored_offset <= index.pieces[i - 1].stored_offset ||
                       piece.container_offset <= index.pieces[i - 1].container_offset)) {
            return false;
        }
    }
    return true;
}

std::vector<std::byte> encode_stream_index(const StreamIndex& index) {
    std::vector<std::byte> out;
    append_le(out, index.pieces.size(), 4);
    append_le(out, index.container_size, 8);
    for (const StreamPiece& piece : index.pieces) {
        append_le(out, piece.stored_offset, 8);
        append_le(out, piece.container_offset, 8);
    }
    append_le(out, payload_crc32(out), 4);
    return out;
}

std::optional<StreamIndex> decode_stream_index(std::span<const std::byte> bytes,
                                               std::uint64_t stored_size) {
    if (bytes.size() < kIndexHeaderSize + kIndexCrcSize) return std::nullopt;
    const std::uint64_t count = read_le(bytes, 0, 4);
    if (count == 0 || count > kMaxIndexPieces) return std::nullopt;
    if (bytes.size() != kIndexHeaderSize + count * kIndexPieceSize + kIndexCrcSize) {
        return std::nullopt;
    }
    const std::size_t body = bytes.size() - kIndexCrcSize;
    if (payload_crc32(bytes.first(body)) != read_le(bytes, body, 4)) return std::nullopt;

    StreamIndex index;
    index.container_size = read_le(bytes, 4, 8);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = kIndexHeaderSize + i * kIndexPieceSize;
        index.pieces.push_back({read_le(bytes, at, 8), read_le(bytes, at + 8, 8)});
    }
    if (!fits_stream(index, stored_size)) return std::nullopt;
    return index;
}

PieceRange piece_range(const StreamIndex& index, std::span<const std::byte> stored, std::size_t i) {
    const bool last = i + 1 == index.pieces.size();
    const StreamPiece& piece = index.pieces[i];
    const std::uint64_t stored_end = last ? stored.size() : index.pieces[i + 1].stored_offset;
    const std::uint64_t container_end =
        last ? index.container_size : index.pieces[i + 1].container_offset;
    return {stored.subspan(piece.stored_offset, stored_end - piece.stored_offset),
            piece.container_offset, container_end - piece.container_offset, last};
}

bool inflate_piece(std::span<const std::byte> stored, std::span<std::byte> out, bool last) {
    return decode_piece(
        stored, out.size(), last, [&](std::uint64_t produced) { return out.subspan(produced); },
        [](std::uint64_t, std::span<const std::byte>) { return true; });
}

}  // namespace pelko
