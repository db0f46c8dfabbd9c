#include "stream_cuts.h"

#include <zlib.h>

#include <algorithm>

#include "payload/container/little_endian.h"
#include "payload/inflate/payload_checksum.h"
#include "payload/inflate/raw_inflater.h"

namespace pelko::packer {
namespace {

constexpr std::uint64_t kPieceTarget = std::uint64_t{4} << 20;
constexpr std::uint32_t kMaxPieces = 64;

}  // namespace

std::uint32_t stream_piece_count(std::uint64_t container_size) {
    const std::uint64_t fit = container_size / kPieceTarget;
    std::uint32_t count = 1;
    while (count < kMaxPieces && std::uint64_t{count} * 2 <= fit) count *= 2;
    return count;
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
                if (z.data_type == RawInflater::kAtAlignedBlockStart &&
                    produced == produced_at_boundary && produced != 0) {
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
    // the one before. One piece left is the whole stream, which has just inflated.
    std::vector<std::byte> out;
    for (std::size_t i = 0; index.pieces.size() > 1 && i < index.pieces.size();) {
        const PieceRange piece = piece_range(index, stored, i);
        out.resize(piece.container_length);
        if (inflate_piece(piece.stored, out, piece.last)) {
            ++i;
        } else {
            const std::size_t dropped = std::max<std::size_t>(i, 1);
            index.pieces.erase(index.pieces.begin() + static_cast<std::ptrdiff_t>(dropped));
            i = dropped - 1;
        }
    }
    return index;
}

}  // namespace pelko::packer
