#pragma once

#include <cstdint>
#include <cstdio>
#include <expected>
#include <string>

#include "container_layout.h"
#include "payload/inflate/stream_index.h"
#include "progress.h"

namespace pelko::packer {

// What packing made: the stream's size and CRC-32, its index, and how many threads made it.
struct PackResult {
    std::uint64_t stored_size = 0;
    std::uint32_t crc32 = 0;
    StreamIndex index;
    unsigned threads = 1;
};

// Packs the container as one raw DEFLATE stream into `out`. A container of 8 MiB or more is cut
// into stream_piece_count() equal parts, compressed on `threads` threads at once with the
// strongest encoder (deflate_part); 0 takes one per processor, as far as that keeps the memory
// within 1.5 times the container. Each part is checked to inflate on its own to exactly its
// bytes before it is written, in order, and dropped: only the parts being compressed, and at most
// as many waiting to be written, are in memory. The reason when a file cannot be read or a part
// does not check out.
std::expected<PackResult, std::string> pack_container(const ContainerLayout& layout,
                                                      std::FILE* out, unsigned threads,
                                                      Progress& progress);

}  // namespace pelko::packer
