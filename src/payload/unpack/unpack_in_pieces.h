#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "payload/container/payload_entry.h"
#include "payload/inflate/stream_index.h"
#include "platform/machine.h"
#include "payload/container/payload_failure.h"

namespace pelko {

// unpack_payload with the pieces of `index` inflated at the same time (Machine::run_concurrently)
// into one buffer of the container's size, which the entries then share. The result, and the
// failure, are unpack_payload's: when the pieces do not give the whole stream (an index that
// does not fit it, a buffer that cannot be had), unpack_payload itself gives the result.
PayloadResult<EntryList> unpack_payload_in_pieces(std::span<const std::byte> stored,
                                                  const StreamIndex& index, Machine& os);

}  // namespace pelko
