#pragma once

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "platform/buffer_allocator.h"

namespace pelko {

// Owns a zlib inflate stream in raw mode (no zlib or gzip wrapper), whose state and window come
// from `memory`: memory that cannot be had is told apart from a damaged stream (no_memory).
class RawInflater {
public:
    explicit RawInflater(BufferAllocator& memory = heap_memory()) : memory_(&memory) {
        stream_.zalloc = &allocate;
        stream_.zfree = &release;
        stream_.opaque = this;
        ok_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK;
    }
    ~RawInflater() {
        if (ok_) inflateEnd(&stream_);
    }
    RawInflater(const RawInflater&) = delete;
    RawInflater& operator=(const RawInflater&) = delete;

    // z_stream.data_type right after the end of a block that is not the final one, with no bit
    // of the byte last taken left over: the next block starts on a byte of its own.
    static constexpr int kAtAlignedBlockStart = 128;

    bool ok() const { return ok_; }
    // The allocation zlib asked for and could not have (which failed the init, or a step with
    // Z_MEM_ERROR), if any.
    std::optional<NoMemory> no_memory() const { return no_memory_; }
    z_stream& stream() { return stream_; }

    // One decoder call on the start of `in` and `out` (as much of each as zlib counts in its
    // 32-bit units): its status, and how many bytes it took and gave.
    struct Step {
        int status;
        std::size_t taken;
        std::size_t given;
    };
    Step step(std::span<const std::byte> in, std::span<std::byte> out, int flush) {
        const uInt in_chunk = static_cast<uInt>(std::min<std::size_t>(in.size(), UINT_MAX));
        const uInt out_chunk = static_cast<uInt>(std::min<std::size_t>(out.size(), UINT_MAX));
        // zlib does not write through next_in.
        stream_.next_in = const_cast<Bytef*>(reinterpret_cast<const Bytef*>(in.data()));
        stream_.avail_in = in_chunk;
        // zlib refuses a null output pointer even for no room at all, which an empty span may
        // hold: a stream that produces nothing (the empty container) still has to reach its end.
        stream_.next_out = out.empty() ? &no_room_ : reinterpret_cast<Bytef*>(out.data());
        stream_.avail_out = out_chunk;
        const int status = inflate(&stream_, flush);
        return {status, in_chunk - stream_.avail_in, out_chunk - stream_.avail_out};
    }

private:
    static voidpf allocate(voidpf opaque, uInt items, uInt size) {
        auto* self = static_cast<RawInflater*>(opaque);
        const std::uint64_t bytes = std::uint64_t{items} * size;
        SharedBytes block =
            bytes <= SIZE_MAX ? self->memory_->allocate(static_cast<std::size_t>(bytes))
                              : SharedBytes();
        if (!block) {
            self->no_memory_ = NoMemory{bytes};
            return Z_NULL;
        }
        return block.leak();
    }
    static void release(voidpf, voidpf address) { SharedBytes::adopt(address).reset(); }

    BufferAllocator* memory_;
    std::optional<NoMemory> no_memory_;
    z_stream stream_{};
    Bytef no_room_ = 0;
    bool ok_ = false;
};

}  // namespace pelko
