#include "payload/decompress_error.h"

#include "platform/text_format.h"

namespace pelko {
namespace {

constexpr std::size_t kShownBytes = 64;

}  // namespace

std::string decompress_error_text(DecompressStatus status, std::span<const std::byte> output) {
    std::string text = "DecompressError { status: ";
    text += status == DecompressStatus::failed ? "Failed" : "FailedCannotMakeProgress";
    text += ", output: [";
    const std::size_t shown = output.size() < kShownBytes ? output.size() : kShownBytes;
    for (std::size_t i = 0; i < shown; ++i) {
        if (i != 0) text += ", ";
        text += format_text("{}", static_cast<unsigned>(output[i]));
    }
    if (shown < output.size()) {
        text += format_text(", \u2026 ({} more)", static_cast<std::uint64_t>(output.size() - shown));
    }
    text += "] }";
    return text;
}

}  // namespace pelko
