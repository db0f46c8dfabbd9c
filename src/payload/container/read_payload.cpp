#include "payload/container/read_payload.h"

#include "payload/container/memory_source.h"

namespace pelko {

PayloadResult<EntryList> read_payload(std::span<const std::byte> container) {
    MemorySource source(container, heap_memory());
    return read_container(source, heap_memory());
}

}  // namespace pelko
