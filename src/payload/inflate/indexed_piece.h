#pragma once

#include <cstddef>
#include <span>

#include "platform/buffer_allocator.h"

namespace pelko {

// Inflates one piece of a recorded index into exactly `out`, as inflate_piece does (see
// stream_index.h), with libdeflate: about twice as fast as zlib. A recorded index and its stream
// are as the build checked them (their CRC-32s tell): its cuts lie where a block ends on a byte,
// and the piece before one ends with an empty stored block that is not the last. Such a piece is
// inflated from a copy (its memory from `memory`) that a final empty stored block ends, so that
// the decoder stops where the next piece begins. True only when the piece fills `out` exactly
// and, unless it is the last, uses exactly all its bytes; the last must end the stream (bytes
// after its end are ignored). Any fault of the stream, and memory that cannot be had, give false.
bool inflate_indexed_piece(std::span<const std::byte> stored, std::span<std::byte> out, bool last,
                           BufferAllocator& memory);

}  // namespace pelko
