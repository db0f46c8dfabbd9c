#include "deflate_encoder.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <stdexcept>

#ifdef PELKO_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

#include "payload/inflate_payload.h"

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

#ifdef PELKO_HAVE_LIBDEFLATE

std::vector<std::byte> deflate_best(std::span<const std::byte> container) {
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

std::string best_encoder_name() { return "libdeflate level 12"; }

#else

std::vector<std::byte> deflate_best(std::span<const std::byte> container) {
    return deflate_zlib9(container);
}

std::string best_encoder_name() { return "zlib level 9"; }

#endif

std::expected<void, std::string> verify_stream(std::span<const std::byte> stream,
                                               std::span<const std::byte> container) {
    const auto inflated = inflate_payload(stream);
    if (!inflated) return std::unexpected("the stream does not inflate: " + inflated.error().text.substr(0, 200));
    if (!std::equal(inflated->begin(), inflated->end(), container.begin(), container.end())) {
        return std::unexpected("the stream inflates to other bytes than the container");
    }
    return {};
}

}  // namespace pelko::packer
