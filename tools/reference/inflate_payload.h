#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "shared/setup_failure.h"

namespace pelko {

// Inflates the stored payload, one raw DEFLATE stream, into the container. The output buffer
// starts at twice the stored length and doubles whenever it fills before the stream ends; the
// result is cut to the bytes produced. Bytes after the end of the stream are ignored. Invalid
// data or a stream that ends early fails with decompress_error_text of the buffer as it stood.
StepResult<std::vector<std::byte>> inflate_payload(std::span<const std::byte> stored);

// The same with an upper bound on the inflated size, for callers that inflate untrusted
// streams: a stream that would produce more than `limit` bytes fails with "payload inflates to
// more than {limit} bytes". No limit (nothing) behaves exactly as above.
StepResult<std::vector<std::byte>> inflate_payload(std::span<const std::byte> stored,
                                                   std::optional<std::uint64_t> limit);

}  // namespace pelko
