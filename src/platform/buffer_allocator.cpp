#include "platform/buffer_allocator.h"

namespace pelko {
namespace {

// Constant-initialized: a guarded static would bring a thread library into the installer.
constinit HeapAllocator heap;

}  // namespace

BufferAllocator& heap_memory() { return heap; }

}  // namespace pelko
