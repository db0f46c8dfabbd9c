// The global allocation functions of the installer. The library's operator new throws
// std::bad_alloc, which would link the exception machinery and the unwinder; this one ends the
// run through the platform's memory action instead, which reports it as a failed run. The
// nothrow forms give a null pointer, as the standard asks.
#include <cstdlib>
#include <new>

#include "platform/windows/memory_exhausted.h"

using pelko::win::memory_exhausted;

namespace {

void* allocate(std::size_t size) {
    // A zero-size request still gets a distinct pointer.
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) memory_exhausted();
    return block;
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
