#include "payload/stream_index.h"

#include <zlib.h>

#include <algorithm>

#include "payload/payload_checksum.h"
#include "payload/raw_inflater.h"

namespace pelko {
namespace {

constexpr std::uint64_t kPieceTarget = std::uint64_t{4} << 20;
constexpr std::uint32_t kMaxPieces = 8;
constexpr std::uint32_t kMaxRecordedPieces = 64;
// DEFLATE gives at most 258 bytes for 2 bits: no stream of n bytes inflates to more than this.
constexpr std::uint64_t kMaxExpansion = 1032;
constexpr std::uint64_t kExpansionSlack = 65536;

constexpr std::size_t kHeaderSize = 4 + 8;
constexpr std::size_t kPieceSize = 8 + 8;
constexpr std::size_t kCrcSize = 4;

void put(std::vector<std::byte>& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::byte>(value >> (8 * i)));
}

std::uint64_t get(std::span<const std::byte> bytes, std::size_t at, int count) {
    std::uint64_t value = 0;
    for (int i = count; i-- > 0;) value = (value << 8) | static_cast<std::uint8_t>(bytes[at + i]);
    return value;
}

// z_stream.data_type right after the end of a block that is not the final one, with no bit of
// the byte last taken left over: the next block starts on a byte of its own.
constexpr int kAtAlignedBlockStart = 128;

}  // namespace

std::uint32_t stream_piece_count(std::uint64_t container_size) {
    const std::uint64_t fit = container_size / kPieceTarget;
    std::uint32_t count = 1;
    while (count < kMaxPieces && std::uint64_t{count} * 2 <= fit) count *= 2;
    return count;
}

std::vector<std::byte> encode_stream_index(const StreamIndex& index) {
    std::vector<std::byte> out;
    put(out, index.pieces.size(), 4);
    put(out, index.container_size, 8);
    for (const StreamPiece& piece : index.pieces) {
        put(out, piece.stored_offset, 8);
        put(out, piece.container_offset, 8);
    }
    put(out, payload_crc32(out), 4);
    return out;
}

bool fits_stream(const StreamIndex& index, std::uint64_t stored_size) {
    if (index.pieces.empty() || index.pieces.size() > kMaxRecordedPieces) return false;
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

std::optional<StreamIndex> decode_stream_index(std::span<const std::byte> bytes,
                                               std::uint64_t stored_size) {
    if (bytes.size() < kHeaderSize + kCrcSize) return std::nullopt;
    const std::uint64_t count = get(bytes, 0, 4);
    if (count == 0 || count > kMaxRecordedPieces) return std::nullopt;
    if (bytes.size() != kHeaderSize + count * kPieceSize + kCrcSize) return std::nullopt;
    const std::size_t body = bytes.size() - kCrcSize;
    if (payload_crc32(bytes.first(body)) != get(bytes, body, 4)) return std::nullopt;

    StreamIndex index;
    index.container_size = get(bytes, 4, 8);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = kHeaderSize + i * kPieceSize;
        index.pieces.push_back({get(bytes, at, 8), get(bytes, at + 8, 8)});
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
    RawInflater inflater;
    if (!inflater.ok()) return false;
    z_stream& z = inflater.stream();
    std::uint64_t consumed = 0;
    std::uint64_t produced = 0;
    for (;;) {
        // Z_BLOCK: back here at every block boundary, so the end of a piece is seen as it is
        // reached.
        const auto [status, taken, given] =
            inflater.step(stored.subspan(consumed), out.subspan(produced), Z_BLOCK);
        consumed += taken;
        produced += given;

        if (status == Z_STREAM_END) return last && produced == out.size();
        if (status != Z_OK) return false;  // invalid data, or no progress possible
        // A piece before the last ends with all of its input used, `out` full and the decoder
        // waiting for the next block's header on a byte of its own.
        if (!last && consumed == stored.size()) {
            return produced == out.size() && z.data_type == kAtAlignedBlockStart;
        }
    }
}

std::optional<StreamIndex> find_stream_index(std::span<const std::byte> stored,
                                             std::optional<std::uint32_t> pieces) {
    if (stored.empty()) return std::nullopt;
    // The whole stream, a block at a time: its inflated size, and the byte-aligned starts of
    // blocks that follow a block which gave nothing (the empty stored block that aligns a cut).
    std::vector<StreamPiece> places;
    std::uint64_t consumed = 0;
    std::uint64_t produced = 0;
    {
        RawInflater inflater;
        if (!inflater.ok()) return std::nullopt;
        z_stream& z = inflater.stream();
        std::vector<std::byte> scratch(std::size_t{1} << 16);
        std::uint64_t produced_at_boundary = 0;
        for (;;) {
            const auto [status, taken, given] =
                inflater.step(stored.subspan(consumed), scratch, Z_BLOCK);
            consumed += taken;
            produced += given;
            if (status == Z_STREAM_END) break;
            if (status != Z_OK) return std::nullopt;  // invalid, or the input ends early
            if ((z.data_type & 128) != 0) {
                if (z.data_type == kAtAlignedBlockStart && produced == produced_at_boundary &&
                    produced != 0) {
                    places.push_back({consumed, produced});
                }
                produced_at_boundary = produced;
            }
        }
    }

    // The places closest to equal cuts.
    StreamIndex index{produced, {StreamPiece{}}};
    const std::uint32_t count = pieces.value_or(stream_piece_count(produced));
    for (std::uint32_t k = 1; k < count; ++k) {
        const std::uint64_t target = produced / count * k;
        const StreamPiece* best = nullptr;
        for (const StreamPiece& place : places) {
            if (place.container_offset <= index.pieces.back().container_offset ||
                place.container_offset >= produced) {
                continue;
            }
            const auto distance = [&](const StreamPiece& p) {
                return p.container_offset > target ? p.container_offset - target
                                                   : target - p.container_offset;
            };
            if (best == nullptr || distance(place) < distance(*best)) best = &place;
        }
        if (best != nullptr) index.pieces.push_back(*best);
    }

    // Every piece must inflate on its own; a start that does not is dropped, joining its piece to
    // the one before.
    for (std::size_t i = 0; i < index.pieces.size();) {
        const PieceRange piece = piece_range(index, stored, i);
        std::vector<std::byte> out(piece.container_length);
        if (inflate_piece(piece.stored, out, piece.last)) {
            ++i;
        } else if (index.pieces.size() == 1) {
            return std::nullopt;
        } else {
            const std::size_t dropped = std::max<std::size_t>(i, 1);
            index.pieces.erase(index.pieces.begin() + static_cast<std::ptrdiff_t>(dropped));
            i = dropped - 1;
        }
    }
    return index;
}

}  // namespace pelko
