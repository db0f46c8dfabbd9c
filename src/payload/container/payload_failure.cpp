#include "payload/container/payload_failure.h"

#include <algorithm>
#include <cstring>

#include "platform/text_format.h"

namespace pelko {

PayloadFailure PayloadFailure::inflate(PayloadFailureKind kind, std::span<const std::byte> first,
                                       std::uint64_t buffer_size) {
    PayloadFailure failure = of(kind, buffer_size);
    const std::size_t kept = std::min(first.size(), kShownInflatedBytes);
    if (kept != 0) std::memcpy(failure.first.data(), first.data(), kept);
    return failure;
}

std::string payload_failure_text(const PayloadFailure& failure) {
    switch (failure.kind) {
    case PayloadFailureKind::cut_short:
        return "payload cut short";
    case PayloadFailureKind::name_not_utf8:
        return "name";
    case PayloadFailureKind::bad_name:
        return "bad name " + failure.name;
    case PayloadFailureKind::no_memory:
        return format_text("not enough memory for the payload ({} bytes)", failure.bytes);
    case PayloadFailureKind::damaged:
        return "payload damaged";
    case PayloadFailureKind::too_large:
        return format_text("payload inflates to more than {} bytes", failure.bytes);
    case PayloadFailureKind::does_not_inflate:
    case PayloadFailureKind::inflate_cut_short:
        break;
    }
    std::string text = "DecompressError { status: ";
    text += failure.kind == PayloadFailureKind::does_not_inflate ? "Failed"
                                                                  : "FailedCannotMakeProgress";
    text += ", output: [";
    const std::uint64_t shown = std::min<std::uint64_t>(failure.bytes, kShownInflatedBytes);
    for (std::size_t i = 0; i < shown; ++i) {
        if (i != 0) text += ", ";
        text += format_text("{}", static_cast<unsigned>(failure.first[i]));
    }
    if (shown < failure.bytes) text += format_text(", \u2026 ({} more)", failure.bytes - shown);
    text += "] }";
    return text;
}

}  // namespace pelko
