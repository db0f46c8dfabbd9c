#include "shared/os_error_text.h"

#include "platform/text_format.h"

namespace pelko {
namespace {

constexpr std::uint32_t kNtStatusBit = 0x10000000;

bool is_trailing_space(char16_t c) {
    return c == u'\t' || c == u'\n' || c == u'\f' || c == u'\r' || c == u' ';
}

}  // namespace

std::string os_error_text(Platform& os, std::uint32_t code) {
    const bool nt_status = (code & kNtStatusBit) != 0;
    const auto message = os.system_message(nt_status ? code & ~kNtStatusBit : code, nt_status);
    if (!message) {
        return format_text("OS Error {} (FormatMessageW() returned error {})", code,
                           message.error().code);
    }
    std::u16string_view units = *message;
    while (!units.empty() && is_trailing_space(units.back())) units.remove_suffix(1);
    const std::optional<std::string> text = utf16_to_utf8_strict(units);
    if (!text) return format_text("OS Error {} (FormatMessageW() returned invalid UTF-16)", code);
    return format_text("{} (os error {})", *text, code);
}

std::string error_text(Platform& os, const OsError& error) {
    if (error.kind == OsErrorKind::nul_in_string) return std::string(kNulInStringText);
    return os_error_text(os, error.code);
}

}  // namespace pelko
