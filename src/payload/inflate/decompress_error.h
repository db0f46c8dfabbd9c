#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace pelko {

// How every text of decompress_error_text begins, and no other failure text of the payload does.
inline constexpr std::string_view kDecompressErrorStart = "DecompressError { ";

// Why the payload could not be inflated: invalid data, or input that ends before the final block.
enum class DecompressStatus { failed, failed_cannot_make_progress };

// "DecompressError { status: {name}, output: [{bytes}] }" with the decoder's output buffer as
// decimal byte values separated by ", ". A buffer of more than 64 bytes shows its first 64 values,
// then ", … (N more)" with N the number of values left out.
std::string decompress_error_text(DecompressStatus status, std::span<const std::byte> output);

// The same text for a buffer of `buffer_size` bytes of which only the first ones are at hand:
// `first` holds its first min(64, buffer_size) bytes.
std::string decompress_error_text(DecompressStatus status, std::span<const std::byte> first,
                                  std::uint64_t buffer_size);

}  // namespace pelko
