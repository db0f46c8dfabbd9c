#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "payload/container/payload_entry.h"
#include "platform/machine.h"
#include "payload/container/payload_failure.h"

namespace pelko {

// The payload as the executable carries it: the stored raw DEFLATE stream, the CRC-32 the build
// recorded for it (nothing: not checked), and the index of its stream as the build recorded it
// (empty: none; see stream_index.h).
struct EmbeddedPayload {
    // A payload without records: not checked, inflated in one pass.
    EmbeddedPayload(std::span<const std::byte> stored_stream,
                    std::optional<std::uint32_t> crc32 = std::nullopt,
                    std::span<const std::byte> stream_index = {})
        : stored(stored_stream), recorded_crc32(crc32), index(stream_index) {}

    std::span<const std::byte> stored;
    std::optional<std::uint32_t> recorded_crc32;
    std::span<const std::byte> index;
};

// Step 5 of the run: the payload's entries, before anything changes. The stored bytes are checked
// against the recorded CRC-32 first (damaged); then the stream is inflated and read, in
// pieces at the same time when the index is sound and has two or more (unpack_in_pieces.h), else
// in one pass (unpack_payload.h). Either way the entries and the failures are those of
// read_payload(inflate_payload(stored)); an index that is damaged or does not fit only costs time.
PayloadResult<EntryList> unpack_embedded_payload(Machine& os, const EmbeddedPayload& payload);

}  // namespace pelko
