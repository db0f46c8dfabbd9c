#include "stream_join.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <stdexcept>

#include "payload/inflate/raw_inflater.h"
#include "payload/inflate/stream_index.h"

namespace pelko::packer {
namespace {

// Bit positions (counted from the stream's first byte, least significant bit first) of the final
// block's header and of the first bit after that block.
struct FinalBlock {
    std::uint64_t header_bit = 0;
    std::uint64_t end_bit = 0;
};

FinalBlock find_final_block(std::span<const std::byte> stream) {
    RawInflater inflater;
    if (!inflater.ok() || stream.size() > UINT_MAX) {
        throw std::runtime_error("cannot inflate a stream to join");
    }
    z_stream& z = inflater.stream();
    z.next_in = const_cast<Bytef*>(reinterpret_cast<const Bytef*>(stream.data()));
    z.avail_in = static_cast<uInt>(stream.size());
    std::vector<Bytef> scratch(std::size_t{1} << 16);
    FinalBlock found;
    for (;;) {
        z.next_out = scratch.data();
        z.avail_out = static_cast<uInt>(scratch.size());
        // Z_BLOCK returns at every block boundary, before the next header is read.
        const int status = inflate(&z, Z_BLOCK);
        if (status != Z_OK) throw std::runtime_error("a stream to join does not inflate");
        if ((z.data_type & 128) == 0) continue;
        const std::uint64_t bit = z.total_in * std::uint64_t{8} - (z.data_type & 63);
        if ((z.data_type & 64) != 0) {  // the final block has just ended
            found.end_bit = bit;
            return found;
        }
        found.header_bit = bit;
    }
}

}  // namespace

std::vector<std::byte> open_ended(std::span<const std::byte> stream) {
    const FinalBlock final_block = find_final_block(stream);
    // Everything up to the end of the final block, then the three header bits of an empty stored
    // block (not final) and the zero bits up to the byte boundary.
    const std::size_t kept = static_cast<std::size_t>((final_block.end_bit + 3 + 7) / 8);
    std::vector<std::byte> open(kept, std::byte{0});
    const std::size_t whole = static_cast<std::size_t>(final_block.end_bit / 8);
    std::copy_n(stream.begin(), whole, open.begin());
    if (const unsigned part = final_block.end_bit % 8; part != 0) {
        open[whole] = stream[whole] & static_cast<std::byte>((1u << part) - 1);
    }
    open[final_block.header_bit / 8] &= ~static_cast<std::byte>(1u << (final_block.header_bit % 8));
    // The stored block's length and its complement.
    open.insert(open.end(), kEmptyStoredBlockLengths.begin(), kEmptyStoredBlockLengths.end());
    return open;
}

JoinedStream join_raw_streams(const std::vector<std::vector<std::byte>>& streams) {
    JoinedStream result;
    for (std::size_t i = 0; i < streams.size(); ++i) {
        result.starts.push_back(result.stream.size());
        const std::vector<std::byte> part =
            i + 1 == streams.size() ? streams[i] : open_ended(streams[i]);
        result.stream.insert(result.stream.end(), part.begin(), part.end());
    }
    return result;
}

}  // namespace pelko::packer
