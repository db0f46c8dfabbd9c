#pragma once

#include <cstddef>
#include <expected>
#include <span>
#include <string>
#include <vector>

namespace pelko::packer {

// The container as one raw DEFLATE stream with the strongest encoder this build has:
// libdeflate at level 12 when it was found, zlib at level 9 otherwise. A container of 8 MiB or
// more is compressed in stream_piece_count() parts of their own, joined into that one stream.
std::vector<std::byte> deflate_best(std::span<const std::byte> container);
// The name of that encoder, for messages ("libdeflate level 12" or "zlib level 9").
std::string best_encoder_name();

// The container as one raw DEFLATE stream from zlib at level 9.
std::vector<std::byte> deflate_zlib9(std::span<const std::byte> container);

// Checks that the stream inflates (through the installer's own inflate) to exactly the container.
std::expected<void, std::string> verify_stream(std::span<const std::byte> stream,
                                               std::span<const std::byte> container);

}  // namespace pelko::packer
