#include "payload/inflate/indexed_piece.h"

#include <libdeflate.h>

#include <cstring>

namespace pelko {
namespace {

// A final stored block of no bytes: BFINAL set, BTYPE 00, then LEN 0 and NLEN 0xFFFF.
constexpr unsigned char kFinalEmptyBlock[] = {0x01, 0x00, 0x00, 0xFF, 0xFF};

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
        ended = memory.allocate(stored.size() + sizeof kFinalEmptyBlock);
        if (!ended) return false;
        if (!stored.empty()) std::memcpy(ended.get(), stored.data(), stored.size());
        std::memcpy(ended.get() + stored.size(), kFinalEmptyBlock, sizeof kFinalEmptyBlock);
        in = std::span<const std::byte>(ended.get(), stored.size() + sizeof kFinalEmptyBlock);
    }
    std::size_t used = 0;
    std::size_t made = 0;
    const libdeflate_result result = libdeflate_deflate_decompress_ex(
        d.decompressor, in.data(), in.size(), out.data(), out.size(), &used, &made);
    return result == LIBDEFLATE_SUCCESS && made == out.size() && (last || used == in.size());
}

}  // namespace pelko
