#include "payload/inflate/indexed_piece.h"

#include <libdeflate.h>

#include <cstring>

#include "payload/inflate/stream_index.h"

namespace pelko {
namespace {

struct Decompressor {
    libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
    ~Decompressor() {
        if (decompressor != nullptr) libdeflate_free_decompressor(decompressor);
    }
};

}  // namespace

bool inflate_indexed_piece(std::span<const std::byte> stored, std::span<std::byte> out, bool last,
                           BufferAllocator& memory) {
    const Decompressor d;
    if (d.decompressor == nullptr) return false;
    std::span<const std::byte> in = stored;
    SharedBytes ended;
    if (!last) {
        const std::size_t size = stored.size() + kFinalEmptyStoredBlock.size();
        ended = memory.allocate(size);
        if (!ended) return false;
        if (!stored.empty()) std::memcpy(ended.get(), stored.data(), stored.size());
        std::memcpy(ended.get() + stored.size(), kFinalEmptyStoredBlock.data(),
                    kFinalEmptyStoredBlock.size());
        in = std::span<const std::byte>(ended.get(), size);
    }
    std::size_t used = 0;
    std::size_t made = 0;
    const libdeflate_result result = libdeflate_deflate_decompress_ex(
        d.decompressor, in.data(), in.size(), out.data(), out.size(), &used, &made);
    return result == LIBDEFLATE_SUCCESS && made == out.size() && (last || used == in.size());
}

}  // namespace pelko
