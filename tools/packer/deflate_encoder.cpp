#include "deflate_encoder.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <stdexcept>

#ifdef PELKO_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

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

PackedStream deflate_best(std::span<const std::byte> container) {
    // Cut into stream_piece_count() equal parts, each compressed on its own, so that the
    // installer can inflate the parts at the same time.
    const std::uint32_t count = stream_piece_count(container.size());
    if (count == 1) return {deflate_strongest(container), {container.size(), {StreamPiece{}}}};
    std::vector<std::vector<std::byte>> streams;
    StreamIndex index{container.size(), {}};
    const std::size_t part = container.size() / count;
    for (std::uint32_t k = 0; k < count; ++k) {
        const std::size_t begin = part * k;
        const std::size_t end = k + 1 == count ? container.size() : part * (k + 1);
        streams.push_back(deflate_strongest(container.subspan(begin, end - begin)));
        index.pieces.push_back({0, begin});
    }
    JoinedStream joined = join_raw_streams(streams);
    for (std::uint32_t k = 0; k < count; ++k) index.pieces[k].stored_offset = joined.starts[k];
    return {std::move(joined.stream), std::move(index)};
}

#ifdef PELKO_HAVE_LIBDEFLATE
std::string best_encoder_name() { return "libdeflate level 12"; }
#else
std::string best_encoder_name() { return "zlib level 9"; }
#endif

std::expected<void, std::string> verify_stream(const PackedStream& packed,
                                               std::span<const std::byte> container) {
    if (packed.index.container_size != container.size() ||
        (container.size() != 0 && !fits_stream(packed.index, packed.stream.size()))) {
        return std::unexpected(std::string("the stream's index does not fit it"));
    }
    std::vector<std::byte> out;
    for (std::size_t i = 0; i < packed.index.pieces.size(); ++i) {
        const PieceRange piece = piece_range(packed.index, packed.stream, i);
        out.resize(piece.container_length);
        if (!inflate_piece(piece.stored, out, piece.last) ||
            !std::equal(out.begin(), out.end(),
                        container.begin() + static_cast<std::ptrdiff_t>(piece.container_offset))) {
            return std::unexpected("piece " + std::to_string(i) +
                                   " of the stream does not inflate to its part of the container");
        }
    }
    return {};
}

}  // namespace pelko::packer
