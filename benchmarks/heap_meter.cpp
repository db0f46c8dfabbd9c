// Counts the heap through glibc's allocator: the program's malloc, calloc, realloc, free and the
// aligned forms are defined here and forward to glibc's own entry points, adding and removing
// each block's usable size.
#include "heap_meter.h"

#include <malloc.h>

#include <atomic>
#include <cerrno>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* block);
}

namespace pelko::bench {
namespace {

std::atomic<std::size_t> g_in_use{0};
std::atomic<std::size_t> g_peak{0};

void* counted(void* block) {
    if (block == nullptr) return block;
    const std::size_t now = g_in_use += malloc_usable_size(block);
    std::size_t peak = g_peak.load();
    while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
    }
    return block;
}

void uncount(void* block) {
    if (block != nullptr) g_in_use -= malloc_usable_size(block);
}

}  // namespace

std::size_t heap_in_use() { return g_in_use.load(); }
std::size_t heap_peak() { return g_peak.load(); }
void reset_heap_peak() { g_peak = g_in_use.load(); }

}  // namespace pelko::bench

using pelko::bench::counted;
using pelko::bench::uncount;

extern "C" {

void* malloc(std::size_t size) { return counted(__libc_malloc(size)); }
void* calloc(std::size_t count, std::size_t size) { return counted(__libc_calloc(count, size)); }
void free(void* block) {
    uncount(block);
    __libc_free(block);
}
void* realloc(void* block, std::size_t size) {
    // A failed realloc leaves the old block as it was.
    const std::size_t old_size = block != nullptr ? malloc_usable_size(block) : 0;
    void* moved = __libc_realloc(block, size);
    if (moved == nullptr && size != 0) return nullptr;
    pelko::bench::g_in_use -= old_size;
    return counted(moved);
}
void* memalign(std::size_t alignment, std::size_t size) {
    return counted(__libc_memalign(alignment, size));
}
void* aligned_alloc(std::size_t alignment, std::size_t size) {
    return counted(__libc_memalign(alignment, size));
}
int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
    void* block = counted(__libc_memalign(alignment, size));
    if (block == nullptr) return ENOMEM;
    *out = block;
    return 0;
}

}  // extern "C"
