#pragma once

#include <cstddef>
#include <span>
#include <string>

namespace pelko {

// Why the payload could not be inflated: invalid data, or input that ends before the final block.
enum class DecompressStatus { failed, failed_cannot_make_progress };

// "DecompressError { status: {name}, output: [{bytes}] }" with the decoder's output buffer as
// decimal byte values separated by ", ". A buffer of more than 64 bytes shows its first 64 values,
// then ", … (N more)" with N the number of values left out.
std::string decompress_error_text(DecompressStatus status, std::span<const std::byte> output);

}  // namespace pelko
