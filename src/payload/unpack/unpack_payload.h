#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "payload/container/payload_entry.h"
#include "platform/buffer_allocator.h"
#include "payload/container/payload_failure.h"

namespace pelko {

// inflate_payload and read_payload in one pass: each entry's bytes are inflated straight into a
// buffer of their exact size, so the whole container never exists in memory at once. The result,
// and the failure, are those of read_payload(inflate_payload(stored)): a fault of the
// stream wins over a fault of the container (the rest of the stream is still inflated, into a
// small scratch buffer, to find it), and a decoder failure shows the buffer that inflate_payload
// would have held at that point. Each entry's buffer, the entry list and the name check's tables
// come from `memory`; memory that cannot be had fails as no_memory, with its size.
PayloadResult<EntryList> unpack_payload(std::span<const std::byte> stored,
                                        BufferAllocator& memory);

}  // namespace pelko
