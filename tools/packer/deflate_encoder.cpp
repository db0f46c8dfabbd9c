#include "deflate_encoder.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <stdexcept>

#ifdef PELKO_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

#include "payload/inflate/piece_decoder.h"
#include "stream_cuts.h"
#include "stream_join.h"

namespace pelko::packer {

std::vector<std::byte> deflate_zlib9(std::span<const std::byte> container) {
    z_stream z{};
    if (deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("zlib: deflateInit2 failed");
    }
    std::vector<std::byte> out;
    std::vector<std::byte> chunk(1 << 20);
    std::size_t consumed = 0;
    int status = Z_OK;
    while (status != Z_STREAM_END) {
        const std::size_t in_chunk = std::min<std::size_t>(container.size() - consumed, UINT_MAX);
        z.next_in = const_cast<Bytef*>(reinterpret_cast<const Bytef*>(container.data() + consumed));
        z.avail_in = static_cast<uInt>(in_chunk);
        z.next_out = reinterpret_cast<Bytef*>(chunk.data());
        z.avail_out = static_cast<uInt>(chunk.size());
        const bool last = consumed + in_chunk == container.size();
        status = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
        if (status == Z_STREAM_ERROR) {
            deflateEnd(&z);
            throw std::runtime_error("zlib: deflate failed");
        }
        consumed += in_chunk - z.avail_in;
        out.insert(out.end(), chunk.begin(), chunk.end() - z.avail_out);
    }
    deflateEnd(&z);
    return out;
}

namespace {

#ifdef PELKO_HAVE_LIBDEFLATE

std::vector<std::byte> deflate_strongest(std::span<const std::byte> container) {
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(12);
    if (compressor == nullptr) throw std::runtime_error("libdeflate: cannot allocate compressor");
    std::vector<std::byte> out(libdeflate_deflate_compress_bound(compressor, container.size()));
    const std::size_t size = libdeflate_deflate_compress(compressor, container.data(),
                                                         container.size(), out.data(), out.size());
    libdeflate_free_compressor(compressor);
    if (size == 0) throw std::runtime_error("libdeflate: compression failed");
    out.resize(size);
    return out;
}

#else

std::vector<std::byte> deflate_strongest(std::span<const std::byte> container) {
    return deflate_zlib9(container);
}

#endif

}  // namespace

std::vector<std::byte> deflate_part(
    std::span<const std::byte> part, bool last,
    const std::function<void(std::size_t, std::size_t)>& on_slice) {
    std::vector<std::byte> joined;
    std::size_t offset = 0;
    do {
        const std::size_t size = std::min(kSliceSize, part.size() - offset);
        std::vector<std::byte> stream = deflate_strongest(part.subspan(offset, size));
        if (!last || offset + size < part.size()) stream = open_ended(stream);
        joined.insert(joined.end(), stream.begin(), stream.end());
        if (on_slice) on_slice(offset, size);
        offset += size;
    } while (offset < part.size());
    return joined;
}

bool part_inflates_to(std::span<const std::byte> stream, std::span<const std::byte> part,
                      bool last) {
    // Inflated into a small window, each run compared as it comes.
    std::vector<std::byte> window(std::size_t{1} << 18);
    return decode_piece(
        stream, part.size(), last,
        [&](std::uint64_t produced) {
            return std::span(window).first(std::min<std::uint64_t>(window.size(),
                                                                   part.size() - produced));
        },
        [&](std::uint64_t produced, std::span<const std::byte> made) {
            return std::equal(made.begin(), made.end(),
                              part.begin() + static_cast<std::ptrdiff_t>(produced));
        });
}

PackedStream deflate_best(std::span<const std::byte> container) {
    // Cut into stream_piece_count() equal parts, each compressed on its own, so that the
    // installer can inflate the parts at the same time.
    const std::uint32_t count = stream_piece_count(container.size());
    PackedStream packed{{}, {container.size(), {}}};
    const std::size_t part = container.size() / count;
    for (std::uint32_t k = 0; k < count; ++k) {
        const std::size_t begin = part * k;
        const std::size_t end = k + 1 == count ? container.size() : part * (k + 1);
        packed.index.pieces.push_back({packed.stream.size(), begin});
        const std::vector<std::byte> stream =
            deflate_part(container.subspan(begin, end - begin), k + 1 == count);
        packed.stream.insert(packed.stream.end(), stream.begin(), stream.end());
    }
    return packed;
}

#ifdef PELKO_HAVE_LIBDEFLATE
std::string best_encoder_name() { return "libdeflate level 12"; }
#else
std::string best_encoder_name() { return "zlib level 9"; }
#endif

}  // namespace pelko::packer
