// Fuzzes the raw-DEFLATE inflation with arbitrary streams, under a cap on the inflated size so
// a bomb cannot exhaust memory, and hands what inflates to the container reader.
#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "reference/inflate_payload.h"
#include "payload/container/read_payload.h"

namespace {

constexpr std::uint64_t kLimit = 1u << 20;

// zlib's own one-shot raw inflate into a buffer of kLimit + 1 bytes, as the reference; the
// output is the first `produced` bytes of the (reused) buffer.
int reference_inflate(std::span<const std::byte> stored, std::vector<std::byte>& out,
                      std::size_t& produced) {
    if (out.size() != kLimit + 1) out.resize(kLimit + 1);
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) std::abort();
    z.next_in = const_cast<Bytef*>(reinterpret_cast<const Bytef*>(stored.data()));
    z.avail_in = static_cast<uInt>(stored.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int status = inflate(&z, Z_FINISH);
    produced = out.size() - z.avail_out;
    inflateEnd(&z);
    return status;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::byte> stored(reinterpret_cast<const std::byte*>(data), size);
    const auto inflated = pelko::inflate_payload(stored, kLimit);

    // The same answer as zlib in one shot: the whole output when the stream ends within the
    // cap, a failure otherwise.
    static std::vector<std::byte> expected;
    std::size_t produced = 0;
    const int status = reference_inflate(stored, expected, produced);
    if (status == Z_STREAM_END && produced <= kLimit) {
        if (!inflated || inflated->size() != produced ||
            !std::equal(inflated->begin(), inflated->end(), expected.begin())) {
            std::abort();
        }
        (void)pelko::read_payload(*inflated);
    } else if (inflated) {
        std::abort();
    }
    return 0;
}
