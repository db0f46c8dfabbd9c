#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "payload/inflate/stream_index.h"

namespace pelko::packer {

// How many pieces a container of this size is cut into: one per 4 MiB, a power of two, at most
// 64. The packer cuts its stream there, and an index of a stream packed elsewhere is looked for
// there.
std::uint32_t stream_piece_count(std::uint64_t container_size);

// The index of a stream packed elsewhere, read off the stream itself: the byte-aligned block
// starts after an empty block, the ones closest to cutting the container into `pieces` equal
// parts (by default stream_piece_count() of its size), each kept only when its piece inflates
// on its own (nothing in it refers back across its start). A stream without such places gives
// one piece. Nothing when the stream does not inflate. Its time is about one pass of zlib over
// the stream, its memory that of the places found, whatever the stream.
std::optional<StreamIndex> find_stream_index(std::span<const std::byte> stored,
                                             std::optional<std::uint32_t> pieces = std::nullopt);

}  // namespace pelko::packer
