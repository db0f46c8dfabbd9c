#pragma once

#include <cstddef>
#include <expected>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "payload/inflate/stream_index.h"

namespace pelko::packer {

// The container as one raw DEFLATE stream with the strongest encoder this build has:
// libdeflate at level 12 when it was found, zlib at level 9 otherwise, and the stream's index.
// A container of 8 MiB or more is compressed in stream_piece_count() parts of their own, joined
// into that one stream; the index says where they start.
struct PackedStream {
    std::vector<std::byte> stream;
    StreamIndex index;
};
PackedStream deflate_best(std::span<const std::byte> container);
// The name of that encoder, for messages ("libdeflate level 12" or "zlib level 9").
std::string best_encoder_name();

// The container as one raw DEFLATE stream from zlib at level 9.
std::vector<std::byte> deflate_zlib9(std::span<const std::byte> container);

// How much of a part is compressed at a time: each slice is a stream of its own, joined to the
// next, so that the work done can be told as it goes (and costs about 0.05 % of the size).
inline constexpr std::size_t kSliceSize = std::size_t{2} << 20;

// One part of a container as a raw DEFLATE stream of its own, with the strongest encoder, a
// slice at a time: the last part as a complete stream, every other open_ended, so that the next
// part can follow it. `on_slice(offset, size)` is told of each slice of the part once it is done.
std::vector<std::byte> deflate_part(
    std::span<const std::byte> part, bool last,
    const std::function<void(std::size_t, std::size_t)>& on_slice = {});

// True when the part's stream inflates on its own, as the installer inflates a piece
// (inflate_piece), to exactly `part`.
bool part_inflates_to(std::span<const std::byte> stream, std::span<const std::byte> part,
                      bool last);

}  // namespace pelko::packer
