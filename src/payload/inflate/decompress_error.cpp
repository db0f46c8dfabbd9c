#include "payload/inflate/decompress_error.h"

#include <algorithm>

#include "platform/text_format.h"

namespace pelko {
namespace {

constexpr std::size_t kShownBytes = 64;

}  // namespace

std::string decompress_error_text(DecompressStatus status, std::span<const std::byte> output) {
    return decompress_error_text(status, output.first(std::min(output.size(), kShownBytes)),
                                 output.size());
}

std::string decompress_error_text(DecompressStatus status, std::span<const std::byte> first,
                                  std::uint64_t buffer_size) {
    std::string text(kDecompressErrorStart);
    text += "status: ";
    text += status == DecompressStatus::failed ? "Failed" : "FailedCannotMakeProgress";
    text += ", output: [";
    const std::uint64_t shown = std::min<std::uint64_t>(buffer_size, kShownBytes);
    for (std::size_t i = 0; i < shown; ++i) {
        if (i != 0) text += ", ";
        text += format_text("{}", static_cast<unsigned>(i < first.size() ? first[i] : std::byte{0}));
    }
    if (shown < buffer_size) {
        text += format_text(", \u2026 ({} more)", buffer_size - shown);
    }
    text += "] }";
    return text;
}

}  // namespace pelko
