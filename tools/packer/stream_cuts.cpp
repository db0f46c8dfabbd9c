#include "stream_cuts.h"

#include <zlib.h>

#include <algorithm>

#include "payload/container/little_endian.h"
#include "payload/inflate/payload_checksum.h"
#include "payload/inflate/raw_inflater.h"
#include "payload/inflate/stream_index.h"

namespace pelko::packer {
namespace {

constexpr std::uint64_t kPieceTarget = std::uint64_t{4} << 20;
// How far back a DEFLATE back-reference may reach.
constexpr std::uint64_t kFarthestReference = 32 * 1024;

// True when a decoder of its own, started at the front of `stored`, gives its first `length`
// bytes (no back-reference before the start among them).
bool stands_alone(std::span<const std::byte> stored, std::uint64_t length) {
    RawInflater inflater;
    if (!inflater.ok()) return false;
    std::vector<std::byte> out(static_cast<std::size_t>(length));
    std::size_t consumed = 0;
    std::size_t produced = 0;
    while (produced < out.size()) {
        const auto [status, taken, given] = inflater.step(
            stored.subspan(consumed), std::span(out).subspan(produced), Z_NO_FLUSH);
        consumed += taken;
        produced += given;
        if (status != Z_OK) return produced == out.size() && status == Z_STREAM_END;
    }
    return true;
}

}  // namespace

std::uint32_t stream_piece_count(std::uint64_t container_size) {
    const std::uint64_t fit = container_size / kPieceTarget;
    std::uint32_t count = 1;
    while (count < kMaxIndexPieces && std::uint64_t{count} * 2 <= fit) count *= 2;
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

    // The places closest to equal cuts, each after the one before (the lower of two as close).
    StreamIndex index{produced, {StreamPiece{}}};
    const std::uint32_t count = pieces.value_or(stream_piece_count(produced));
    const auto offset_of = [](const StreamPiece& p) { return p.container_offset; };
    for (std::uint32_t k = 1; k < count; ++k) {
        const std::uint64_t target = produced / count * k;
        const auto after_last =
            std::ranges::upper_bound(places, index.pieces.back().container_offset, {}, offset_of);
        const auto above =
            std::max(after_last, std::ranges::lower_bound(places, target, {}, offset_of));
        const StreamPiece* best = nullptr;
        if (above != after_last) best = &*std::prev(above);
        if (above != places.end() && above->container_offset < produced &&
            (best == nullptr || above->container_offset - target < target - best->container_offset)) {
            best = &*above;
        }
        if (best != nullptr) index.pieces.push_back(*best);
    }

    // Every piece must inflate on its own; a start that does not is dropped, joining its piece to
    // the one before. The whole stream has just inflated, and each start lies on a byte where a
    // block begins, so a piece inflates alone to exactly its range unless something in it refers
    // back across its start. A back-reference reaches at most 32 KiB back, so only the piece's
    // first 32 KiB can: a decoder of its own over them (or over the whole piece, if shorter)
    // tells. Whether a start stands depends only on where the next piece begins, so the starts
    // are settled from the last to the first, each decoded once.
    std::uint64_t next_start = produced;
    for (std::size_t i = index.pieces.size(); i-- > 1;) {
        const StreamPiece& start = index.pieces[i];
        if (stands_alone(stored.subspan(start.stored_offset),
                         std::min(next_start - start.container_offset, kFarthestReference))) {
            next_start = start.container_offset;
        } else {
            index.pieces.erase(index.pieces.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    return index;
}

}  // namespace pelko::packer
