#include "payload/unpack/unpack_payload.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "payload/container/container_reader.h"
#include "payload/inflate/deflate_bounds.h"
#include "payload/inflate/raw_inflater.h"

namespace pelko {
namespace {

// The container as the decoder produces it. It keeps what inflate_payload's buffer would show:
// that buffer's size (twice the stored length, doubled each time it fills) and its first bytes.
class StreamSource {
public:
    StreamSource(std::span<const std::byte> stored, BufferAllocator& memory)
        : stored_(stored), memory_(memory),
          buffer_size_(2 * static_cast<std::uint64_t>(stored.size())) {
        // Nothing stored: the input ends before any block.
        if (stored.empty()) stop(PayloadFailureKind::inflate_cut_short);
        else if (!inflater_.ok()) stop(PayloadFailureKind::does_not_inflate);
    }



    std::size_t read(std::span<std::byte> out) {
        std::size_t got = 0;
        while (got < out.size() && state_ == State::running) got += step(out.subspan(got));
        return got;
    }

    PayloadResult<EntryData> read_data(std::uint64_t length) {
        if (length == 0) return EntryData{};
        const std::uint64_t in_left = stored_.size() - consumed_;
        if (state_ != State::running || length > kMaxExpansion * (in_left + 1) + kExpansionSlack) {
            return payload_fail(PayloadFailureKind::cut_short);
        }
        SharedBytes data =
            length <= SIZE_MAX ? memory_.allocate(static_cast<std::size_t>(length)) : SharedBytes();
        if (!data) return no_memory_failure({length});
        if (read(std::span(data.get(), static_cast<std::size_t>(length))) < length) {
            return payload_fail(PayloadFailureKind::cut_short);
        }
        return EntryData{std::move(data), 0};
    }

    // Inflates the rest of the stream without keeping it, to learn whether it is sound.
    void drain() {
        std::vector<std::byte> scratch(std::size_t{1} << 16);
        while (state_ == State::running) step(scratch);
    }

    bool failed() const { return state_ == State::failed; }
    PayloadFailure failure() const {
        // zlib's own memory that could not be had is no damage of the stream.
        if (const std::optional<NoMemory> wanted = inflater_.no_memory()) {
            return PayloadFailure::no_memory(wanted->bytes);
        }
        const std::size_t shown = static_cast<std::size_t>(
            std::min<std::uint64_t>(buffer_size_, first_.size()));
        return PayloadFailure::inflate(status_, std::span(first_).first(shown), buffer_size_);
    }

private:
    enum class State { running, ended, failed };

    void stop(PayloadFailureKind status) {
        state_ = State::failed;
        status_ = status;
    }

    // One decoder call into `out`, never past the end of inflate_payload's buffer as it would
    // stand, so that the buffer's growth (and the decoder's view of it) follows that function.
    std::size_t step(std::span<std::byte> out) {
        if (produced_ == buffer_size_) buffer_size_ *= 2;
        const std::uint64_t room = buffer_size_ - produced_;
        const auto [status, taken, made] = inflater_.step(
            stored_.subspan(consumed_),
            out.first(static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), room))),
            Z_NO_FLUSH);
        if (produced_ < first_.size()) {
            const std::size_t kept =
                std::min(made, static_cast<std::size_t>(first_.size() - produced_));
            std::memcpy(first_.data() + produced_, out.data(), kept);
        }
        consumed_ += taken;
        produced_ += made;

        if (status == Z_STREAM_END) {
            state_ = State::ended;
        } else if (status == Z_BUF_ERROR) {
            // No progress: unless the buffer is full (it grows on the next call), the input ran
            // out before the final block.
            if (produced_ != buffer_size_ && consumed_ == stored_.size()) {
                stop(PayloadFailureKind::inflate_cut_short);
            }
        } else if (status != Z_OK) {
            stop(PayloadFailureKind::does_not_inflate);  // Z_MEM_ERROR among them: see failure()
        }
        return made;
    }

    std::span<const std::byte> stored_;
    BufferAllocator& memory_;
    RawInflater inflater_{memory_};
    State state_ = State::running;
    PayloadFailureKind status_ = PayloadFailureKind::does_not_inflate;
    std::uint64_t consumed_ = 0;
    std::uint64_t produced_ = 0;
    std::uint64_t buffer_size_;
    std::array<std::byte, kShownInflatedBytes> first_{};
};

}  // namespace

PayloadResult<EntryList> unpack_payload(std::span<const std::byte> stored,
                                       BufferAllocator& memory) {
    StreamSource source(stored, memory);
    PayloadResult<EntryList> entries = read_container(source, memory);
    if (!entries) source.drain();  // the stream's own fault, if any, is the one to report
    if (source.failed()) return payload_fail(source.failure());
    return entries;
}

}  // namespace pelko
