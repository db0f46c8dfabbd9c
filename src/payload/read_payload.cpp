#include "payload/read_payload.h"

#include "payload/memory_source.h"

namespace pelko {

StepResult<std::vector<PayloadEntry>> read_payload(std::span<const std::byte> container) {
    HeapAllocator heap;
    MemorySource source(container, heap);
    return read_container(source);
}

}  // namespace pelko
