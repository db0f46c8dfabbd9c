#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "payload/container/payload_entry.h"
#include "payload/inflate/stream_index.h"
#include "payload/container/payload_failure.h"

namespace pelko::testing {

// Builds containers byte by byte, so tests can also make malformed ones.
struct ContainerBuilder {
    std::vector<std::byte> bytes;

    ContainerBuilder& u16(std::uint16_t value);
    ContainerBuilder& u32(std::uint32_t value);
    ContainerBuilder& raw(std::string_view text);
    // One complete entry: name length, name, data length, data.
    ContainerBuilder& entry(std::string_view name, std::string_view data);
};

// The data as one raw DEFLATE stream (zlib, no wrapper) at the given level.
std::vector<std::byte> raw_deflate(const std::vector<std::byte>& data, int level = 9);

// The data cut into `parts` equal parts and deflated as one raw stream with a full flush after
// each part but the last: every cut is a place where the stream can be inflated on its own, and
// the index tells where they are. `flushes` may give other flushes for the first cuts (zlib's
// Z_SYNC_FLUSH: a place on a byte where a block starts, which what follows refers back across).
struct PartedStream {
    std::vector<std::byte> stream;
    StreamIndex index;
};
PartedStream raw_deflate_in_parts(const std::vector<std::byte>& data, std::size_t parts,
                                  std::span<const int> flushes = {});

// The CRC-32 of the bytes (zlib's), as the build records it in front of a stored payload.
std::uint32_t crc32_of(std::span<const std::byte> bytes);

// The entries of a well-formed container, read as the installer reads them; throws on a
// malformed one.
std::vector<PayloadEntry> read_entries(const std::vector<std::byte>& container);

// A reading of a payload as text, so that two readings compare at a glance: "error: {text}", or
// "|name=size:sum" per entry (the sum of the bytes, each step times 31).
std::string outcome(const PayloadResult<EntryList>& read);

inline std::string as_string(const std::vector<std::byte>& bytes) {
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

}  // namespace pelko::testing
