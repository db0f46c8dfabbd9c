#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <span>

#include "payload/inflate/raw_inflater.h"

namespace pelko {

// Decodes one piece of a stored stream with a decoder of its own (see inflate_piece in
// stream_index.h for what a sound piece is), `length` bytes in all. `room(produced)` gives where
// the bytes from `produced` on go, at most `length - produced` of them; `take(produced, bytes)`
// is told of each run of bytes made there. True only when the piece is sound and makes exactly
// `length` bytes.
template <class Room, class Take>
bool decode_piece(std::span<const std::byte> stored, std::uint64_t length, bool last, Room room,
                  Take take) {
    RawInflater inflater;
    if (!inflater.ok()) return false;
    z_stream& z = inflater.stream();
    std::uint64_t consumed = 0;
    std::uint64_t produced = 0;
    for (;;) {
        // Z_BLOCK: back here at every block boundary, so the end of a piece is seen as it is
        // reached.
        const std::span<std::byte> out = room(produced);
        const auto [status, taken, given] = inflater.step(stored.subspan(consumed), out, Z_BLOCK);
        if (given != 0 && !take(produced, std::span<const std::byte>(out.first(given)))) {
            return false;
        }
        consumed += taken;
        produced += given;

        if (status == Z_STREAM_END) return last && produced == length;
        if (status != Z_OK) return false;  // invalid data, or no progress possible
        // A piece before the last ends with all of its input used, `length` bytes made and the
        // decoder waiting for the next block's header on a byte of its own.
        if (!last && consumed == stored.size()) {
            return produced == length && z.data_type == RawInflater::kAtAlignedBlockStart;
        }
    }
}

}  // namespace pelko
