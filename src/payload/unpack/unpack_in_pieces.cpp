#include "payload/unpack/unpack_in_pieces.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

#include "payload/inflate/indexed_piece.h"
#include "payload/container/memory_source.h"
#include "payload/unpack/unpack_payload.h"

namespace pelko {

PayloadResult<EntryList> unpack_payload_in_pieces(std::span<const std::byte> stored,
                                                  const StreamIndex& index, Machine& os) {
    if (index.pieces.size() < 2 || !fits_stream(index, stored.size()) ||
        index.container_size > SIZE_MAX) {
        return unpack_payload(stored, os);
    }
    const std::size_t size = static_cast<std::size_t>(index.container_size);
    // Without one buffer of that size, the entries may still have buffers of their own.
    SharedBytes container = os.allocate(size);
    if (!container) return unpack_payload(stored, os);

    // Each run takes the next piece not yet taken until none is left or one has failed.
    const std::size_t count = index.pieces.size();
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    const auto inflate_pieces = [&] {
        for (std::size_t i = next.fetch_add(1); i < count && !failed.load();
             i = next.fetch_add(1)) {
            const PieceRange piece = piece_range(index, stored, i);
            const std::span<std::byte> out(container.get() + piece.container_offset,
                                           piece.container_length);
            if (!inflate_indexed_piece(piece.stored, out, piece.last, os)) {
                failed.store(true);
            }
            os.reached(RunPoint::piece_done);
        }
    };
    os.run_concurrently(inflate_pieces, static_cast<std::uint32_t>(count));
    if (failed.load()) {
        container.reset();
        return unpack_payload(stored, os);
    }
    os.reached(RunPoint::inflated);

    // The pieces together are exactly what the stream inflates to.
    MemorySource source(std::move(container), size);
    return read_container(source, os);
}

}  // namespace pelko
