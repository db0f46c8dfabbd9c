#include "payload/unpack_in_pieces.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <new>

#include "payload/container_reader.h"
#include "payload/unpack_payload.h"

namespace pelko {
namespace {

// The container in one shared buffer; each entry's bytes stay where they are, owned jointly.
class SharedSource {
public:
    SharedSource(std::shared_ptr<const std::byte[]> buffer, std::size_t size)
        : buffer_(std::move(buffer)), size_(size) {}

    std::size_t read(std::span<std::byte> out) {
        const std::size_t count = std::min(out.size(), size_ - position_);
        if (count != 0) std::memcpy(out.data(), buffer_.get() + position_, count);
        position_ += count;
        return count;
    }

    std::optional<std::shared_ptr<const std::byte[]>> read_data(std::uint64_t length) {
        if (length > size_ - position_) return std::nullopt;
        if (length == 0) return std::shared_ptr<const std::byte[]>();
        std::shared_ptr<const std::byte[]> view(buffer_, buffer_.get() + position_);
        position_ += static_cast<std::size_t>(length);
        return view;
    }

private:
    std::shared_ptr<const std::byte[]> buffer_;
    std::size_t size_;
    std::size_t position_ = 0;
};

}  // namespace

StepResult<std::vector<PayloadEntry>> unpack_payload_in_pieces(std::span<const std::byte> stored,
                                                               const StreamIndex& index,
                                                               Platform& os) {
    if (index.pieces.size() < 2 || !fits_stream(index, stored.size()) ||
        index.container_size > SIZE_MAX) {
        return unpack_payload(stored);
    }
    const std::size_t size = static_cast<std::size_t>(index.container_size);
    std::shared_ptr<std::byte[]> container(new (std::nothrow) std::byte[size]);
    if (!container) return unpack_payload(stored);

    // Each run takes the next piece not yet taken until none is left or one has failed.
    const std::size_t count = index.pieces.size();
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    const std::function<void()> inflate_pieces = [&] {
        for (std::size_t i = next.fetch_add(1); i < count && !failed.load();
             i = next.fetch_add(1)) {
            const PieceRange piece = piece_range(index, stored, i);
            const std::span<std::byte> out(container.get() + piece.container_offset,
                                           piece.container_length);
            if (!inflate_piece(piece.stored, out, piece.last)) {
                failed.store(true);
            }
        }
    };
    os.run_concurrently(inflate_pieces, static_cast<std::uint32_t>(count));
    if (failed.load()) {
        container.reset();
        return unpack_payload(stored);
    }

    // The pieces together are exactly what the stream inflates to.
    SharedSource source(std::move(container), size);
    return read_container(source);
}

}  // namespace pelko
