#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "setup/setup_failure.h"

namespace pelko {

// Inflates the stored payload, one raw DEFLATE stream, into the container. The output buffer
// starts at twice the stored length and doubles whenever it fills before the stream ends; the
// result is cut to the bytes produced. Bytes after the end of the stream are ignored. Invalid
// data or a stream that ends early fails with decompress_error_text of the buffer as it stood.
StepResult<std::vector<std::byte>> inflate_payload(std::span<const std::byte> stored);

}  // namespace pelko
