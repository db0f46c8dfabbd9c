#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <new>
#include <utility>

namespace pelko {

// Bytes shared by counted references. The count lives in the same block as the bytes, so that
// sharing them never needs memory of its own: a block that could be had is never lost for want
// of a few bytes more.
class SharedBytes {
public:
    // The head of a block; the bytes follow it. `release` frees the block when the last
    // reference goes (with `size` and `context` as the allocator left them).
    struct alignas(16) Block {
        std::atomic<std::size_t> references{1};
        void (*release)(Block*) = nullptr;
        std::size_t size = 0;
        void* context = nullptr;
    };

    SharedBytes() = default;
    // Takes over the one reference of a block just made.
    explicit SharedBytes(Block* block) : block_(block) {}
    SharedBytes(const SharedBytes& other) : block_(other.block_) {
        if (block_ != nullptr) block_->references.fetch_add(1, std::memory_order_relaxed);
    }
    SharedBytes(SharedBytes&& other) noexcept : block_(std::exchange(other.block_, nullptr)) {}
    SharedBytes& operator=(SharedBytes other) noexcept {
        std::swap(block_, other.block_);
        return *this;
    }
    ~SharedBytes() { reset(); }

    void reset() {
        Block* block = std::exchange(block_, nullptr);
        if (block != nullptr && block->references.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            block->release(block);
        }
    }
    std::byte* get() const {
        return block_ == nullptr ? nullptr : reinterpret_cast<std::byte*>(block_ + 1);
    }
    explicit operator bool() const { return block_ != nullptr; }

    // Lets go of the reference without dropping it: the bytes stay until adopt() takes the
    // reference back from their address. For code that keeps memory as a bare pointer (zlib).
    std::byte* leak() { return reinterpret_cast<std::byte*>(std::exchange(block_, nullptr) + 1); }
    static SharedBytes adopt(void* bytes) {
        return SharedBytes(reinterpret_cast<Block*>(static_cast<std::byte*>(bytes)) - 1);
    }

private:
    Block* block_ = nullptr;
};

// A request for memory that could not be had: how many bytes were asked for.
struct NoMemory {
    std::uint64_t bytes = 0;
};

// Where the payload's memory comes from: its buffers, its entry list and the tables of its name
// check. An allocation that cannot be had gives null, so that the caller can fail with a text
// of its own instead of ending the process.
class BufferAllocator {
public:
    // A buffer of `size` bytes (contents unset, aligned for any type), or null when that much
    // memory cannot be had.
    virtual SharedBytes allocate(std::size_t size) = 0;
    virtual ~BufferAllocator() = default;
};

// Room for `count` elements of type T from `memory`, or NoMemory with the bytes asked for
// (UINT64_MAX when that many bytes cannot even be counted).
template <class T>
std::expected<SharedBytes, NoMemory> allocate_elements(BufferAllocator& memory,
                                                       std::uint64_t count) {
    if (count > SIZE_MAX / sizeof(T)) return std::unexpected(NoMemory{UINT64_MAX});
    const std::size_t bytes = static_cast<std::size_t>(count) * sizeof(T);
    SharedBytes room = memory.allocate(bytes);
    if (!room) return std::unexpected(NoMemory{bytes});
    return room;
}

// Buffers from the heap, without ever ending the process for want of memory.
class HeapAllocator final : public BufferAllocator {
public:
    SharedBytes allocate(std::size_t size) override {
        if (size > SIZE_MAX - sizeof(SharedBytes::Block)) return {};
        void* memory = ::operator new(sizeof(SharedBytes::Block) + size, std::nothrow);
        if (memory == nullptr) return {};
        auto* block = new (memory) SharedBytes::Block;
        block->release = [](SharedBytes::Block* done) {
            done->~Block();
            ::operator delete(done);
        };
        block->size = size;
        return SharedBytes(block);
    }
};

// One heap allocator for the whole process, so that a list made with it may outlive its maker.
BufferAllocator& heap_memory();

}  // namespace pelko
