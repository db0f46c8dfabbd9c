#include "reference/inflate_payload.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>

#include "payload/container/container_reader.h"
#include "payload/inflate/raw_inflater.h"

namespace pelko {
namespace {

std::unexpected<PayloadFailure> fail_inflate(PayloadFailureKind kind,
                                             std::span<const std::byte> buffer) {
    return payload_fail(PayloadFailure::inflate(kind, buffer, buffer.size()));
}

}  // namespace

PayloadResult<std::vector<std::byte>> inflate_payload(std::span<const std::byte> stored) {
    return inflate_payload(stored, std::nullopt);
}

PayloadResult<std::vector<std::byte>> inflate_payload(std::span<const std::byte> stored,
                                                      std::optional<std::uint64_t> limit) {
    // With a limit the buffer never grows past limit + 1 bytes: producing that extra byte is
    // what tells a stream over the limit from one that ends exactly at it.
    const auto capped = [&](std::uint64_t size) {
        return limit && *limit < size && size - *limit > 1 ? *limit + 1 : size;
    };
    std::vector<std::byte> output(capped(2 * stored.size()));
    std::uint64_t consumed = 0;  // input bytes handed to zlib and used
    std::uint64_t produced = 0;  // output bytes written

    // Nothing stored: the input ends before any block (doubling an empty buffer would never end).
    if (stored.empty()) {
        return fail_inflate(PayloadFailureKind::inflate_cut_short, output);
    }

    RawInflater inflater;
    // zlib's own memory that could not be had is no damage of the stream.
    const auto no_memory = [&] {
        return no_memory_failure(*inflater.no_memory());
    };
    if (!inflater.ok()) {
        if (inflater.no_memory()) return no_memory();
        return fail_inflate(PayloadFailureKind::does_not_inflate, output);
    }

    for (;;) {
        if (produced == output.size()) {
            if (limit && produced > *limit) {
                return payload_fail(PayloadFailure::of(PayloadFailureKind::too_large, *limit));
            }
            // The buffer is full and the stream goes on: double it.
            output.resize(capped(2 * output.size()));
        }
        const auto [status, taken, given] = inflater.step(
            stored.subspan(consumed), std::span(output).subspan(produced), Z_NO_FLUSH);
        consumed += taken;
        produced += given;

        if (status == Z_STREAM_END) {
            if (limit && produced > *limit) {
                return payload_fail(PayloadFailure::of(PayloadFailureKind::too_large, *limit));
            }
            output.resize(produced);
            return output;
        }
        if (status == Z_OK) continue;
        if (status == Z_BUF_ERROR) {
            // No progress was possible: either the output is full (grow and go on) or the input
            // ran out before the final block.
            if (produced == output.size()) continue;
            if (consumed == stored.size()) {
                return fail_inflate(PayloadFailureKind::inflate_cut_short, output);
            }
            continue;
        }
        if (inflater.no_memory()) return no_memory();
        return fail_inflate(PayloadFailureKind::does_not_inflate, output);
    }
}

}  // namespace pelko
