#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace pelko {

// Places where the stored stream can be inflated by decoders of their own: each piece starts on
// a byte at a block boundary, and nothing after it refers back across it. The first piece starts
// at the start of both the stream and the container.
struct StreamPiece {
    std::uint64_t stored_offset = 0;
    std::uint64_t container_offset = 0;
    bool operator==(const StreamPiece&) const = default;
};

struct StreamIndex {
    std::uint64_t container_size = 0;  // what the whole stream inflates to
    std::vector<StreamPiece> pieces;
    bool operator==(const StreamIndex&) const = default;
};

// The index as the build records it beside the stored stream (the packer writes it): the number
// of pieces (4 bytes), the container size (8), each piece's stored and container offsets (8 + 8),
// then the CRC-32 of all that (4); little-endian. At most kMaxIndexPieces pieces.
inline constexpr std::size_t kIndexHeaderSize = 4 + 8;
inline constexpr std::size_t kIndexPieceSize = 8 + 8;
inline constexpr std::size_t kIndexCrcSize = 4;
inline constexpr std::size_t kMaxIndexPieces = 64;

// A piece before a cut ends with an empty stored block that is not final, so that the pieces
// joined are one stream: after the block's three header bits and the padding to a byte, its
// lengths, LEN 0 and NLEN 0xFFFF. Inflated alone, such a piece is ended by a final empty stored
// block (BFINAL 1, BTYPE 00, the same lengths), whole bytes.
inline constexpr std::array<std::byte, 4> kEmptyStoredBlockLengths = {
    std::byte{0x00}, std::byte{0x00}, std::byte{0xFF}, std::byte{0xFF}};
inline constexpr std::array<std::byte, 5> kFinalEmptyStoredBlock = {
    std::byte{0x01}, std::byte{0x00}, std::byte{0x00}, std::byte{0xFF}, std::byte{0xFF}};

// The index as the build records it, its CRC-32 at the end.
std::vector<std::byte> encode_stream_index(const StreamIndex& index);

// True when the index can describe a stream of `stored_size` bytes: one to 64 pieces, the first
// at 0 and 0, both offsets increasing and before the ends, and a container size that a stream of
// that length can inflate to.
bool fits_stream(const StreamIndex& index, std::uint64_t stored_size);

// The recorded index, or nothing when the bytes are not one (a wrong length or CRC-32) or it
// does not fit a stream of `stored_size` bytes.
std::optional<StreamIndex> decode_stream_index(std::span<const std::byte> bytes,
                                               std::uint64_t stored_size);

// Piece `i` of a stream that the index fits: its bytes of the stream (up to the next piece's
// start, or to the end of the stream for the last), its range of the container, and whether it
// is the last.
struct PieceRange {
    std::span<const std::byte> stored;
    std::uint64_t container_offset = 0;
    std::uint64_t container_length = 0;
    bool last = false;
};
PieceRange piece_range(const StreamIndex& index, std::span<const std::byte> stored, std::size_t i);

// Inflates one piece (`stored`, from its start to the next piece's start, or to the end of the
// stream for the last) with a decoder of its own into exactly `out`. True only when the piece
// fills `out` exactly and, unless it is the last, uses all its bytes, ends on a block boundary and
// has no final block; the last must end the stream (bytes after the end are ignored). A true
// result means `out` holds what the whole stream's decoder gives for that range.
bool inflate_piece(std::span<const std::byte> stored, std::span<std::byte> out, bool last);

}  // namespace pelko
