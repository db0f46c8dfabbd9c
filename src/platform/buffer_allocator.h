#pragma once

#include <cstddef>
#include <memory>
#include <new>

namespace pelko {

// Where large buffers (the payload's) come from. An allocation that cannot be had gives null, so
// that the caller can fail with a text of its own instead of ending the process.
class BufferAllocator {
public:
    // A buffer of `size` bytes (contents unset), or null when that much memory cannot be had.
    virtual std::shared_ptr<std::byte[]> allocate(std::size_t size) = 0;
    virtual ~BufferAllocator() = default;
};

// Buffers from the heap.
class HeapAllocator final : public BufferAllocator {
public:
    std::shared_ptr<std::byte[]> allocate(std::size_t size) override {
        std::byte* block = new (std::nothrow) std::byte[size];
        if (block == nullptr) return nullptr;
        return std::shared_ptr<std::byte[]>(block);
    }
};

}  // namespace pelko
