#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "payload/container/payload_failure.h"

namespace pelko {

// Inflates the stored payload, one raw DEFLATE stream, into the container. The output buffer
// starts at twice the stored length and doubles whenever it fills before the stream ends; the
// result is cut to the bytes produced. Bytes after the end of the stream are ignored. Invalid
// data or a stream that ends early fails as does_not_inflate or inflate_cut_short, with the
// buffer as it stood.
PayloadResult<std::vector<std::byte>> inflate_payload(std::span<const std::byte> stored);

// The same with an upper bound on the inflated size, for callers that inflate untrusted
// streams: a stream that would produce more than `limit` bytes fails as too_large, with the
// limit. No limit (nothing) behaves exactly as above.
PayloadResult<std::vector<std::byte>> inflate_payload(std::span<const std::byte> stored,
                                                      std::optional<std::uint64_t> limit);

}  // namespace pelko
