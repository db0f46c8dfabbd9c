#pragma once

#include <cstddef>
#include <expected>
#include <span>
#include <string>
#include <vector>

#include "payload/stream_index.h"

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

// Checks that every piece of the index inflates on its own (as the installer inflates it) to
// exactly its range of the container, which proves the whole stream too.
std::expected<void, std::string> verify_stream(const PackedStream& packed,
                                               std::span<const std::byte> container);

}  // namespace pelko::packer
