// Fuzzes inflating a stream in pieces against inflating it whole: whenever every piece is
// accepted, the pieces together must be exactly what the whole stream inflates to; and every
// piece zlib accepts (the build's check of a recorded index) libdeflate inflates the same (the
// installer's fast way for a recorded index). The input is
// a count of cuts (1 byte), each cut's stored and container offsets (3 + 4 bytes, little-endian),
// the container size (4 bytes), then the stream.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <span>
#include <vector>

#include "payload/inflate/indexed_piece.h"
#include "reference/inflate_payload.h"
#include "payload/inflate/stream_index.h"

namespace {

constexpr std::uint64_t kLimit = 1u << 22;

std::uint64_t little_endian(const std::uint8_t* at, int count) {
    std::uint64_t value = 0;
    for (int i = count; i-- > 0;) value = (value << 8) | at[i];
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::size_t cuts = data[0] % 4;
    const std::size_t header = 1 + cuts * 7 + 4;
    if (size < header) return 0;
    pelko::StreamIndex index;
    index.pieces.push_back({});
    for (std::size_t i = 0; i < cuts; ++i) {
        const std::uint8_t* at = data + 1 + i * 7;
        index.pieces.push_back({little_endian(at, 3), little_endian(at + 3, 4)});
    }
    index.container_size = little_endian(data + 1 + cuts * 7, 4);
    const std::span<const std::byte> stored(reinterpret_cast<const std::byte*>(data + header),
                                            size - header);
    if (!pelko::fits_stream(index, stored.size()) || index.container_size > kLimit) return 0;

    std::vector<std::byte> pieces(index.container_size);
    std::vector<std::byte> fast(index.container_size);
    for (std::size_t i = 0; i < index.pieces.size(); ++i) {
        const pelko::PieceRange piece = pelko::piece_range(index, stored, i);
        const auto out = std::span(pieces).subspan(piece.container_offset, piece.container_length);
        if (!pelko::inflate_piece(piece.stored, out, piece.last)) {
            return 0;  // refused: the caller inflates the stream whole instead
        }
        const auto fast_out =
            std::span(fast).subspan(piece.container_offset, piece.container_length);
        if (!pelko::inflate_indexed_piece(piece.stored, fast_out, piece.last,
                                          pelko::heap_memory()) ||
            !std::equal(out.begin(), out.end(), fast_out.begin())) {
            std::abort();
        }
    }
    const auto whole = pelko::inflate_payload(stored, kLimit);
    if (!whole || *whole != pieces) std::abort();
    return 0;
}
