#pragma once

#include <cstdint>
#include <cstdio>
#include <expected>
#include <filesystem>
#include <optional>
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
// as many waiting to be written, are in memory. The parts are read in order, each source front to
// back through one handle (ContainerLayout::Reader). The problem when a source cannot be read or
// changed (with its line), or when a part does not check out or cannot be written (line 0).
std::expected<PackResult, ManifestProblem> pack_container(const ContainerLayout& layout,
                                                          std::FILE* out, unsigned threads,
                                                          Progress& progress);

// Packs the container into the file `output`, and with `section` writes the payload section the
// build embeds (the CRC-32, the stream as written, the index of its cuts) into that file too.
// Each is written beside its target and put in place only once all is written and every source
// is still as it was when the layout was made (ContainerLayout::check_unchanged), so that a
// failure leaves neither, nor any temporary file. The problem as pack_container gives it; throws
// Failure when an output cannot be written.
std::expected<PackResult, ManifestProblem> pack_to_files(
    const ContainerLayout& layout, const std::filesystem::path& output,
    const std::optional<std::filesystem::path>& section, unsigned threads, Progress& progress);

}  // namespace pelko::packer
