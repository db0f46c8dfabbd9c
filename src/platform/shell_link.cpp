#include "platform/shell_link.h"

#include "platform/os_string.h"
#include "platform/text_format.h"

namespace pelko {
namespace {

bool is_trailing_space(char16_t c) {
    return c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r' || c == u' ';
}

std::string hresult_text(HResult result) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const auto code = static_cast<std::uint32_t>(result);
    std::string text = "0x";
    for (int shift = 28; shift >= 0; shift -= 4) text += kDigits[(code >> shift) & 0xF];
    return text;
}

}  // namespace

std::string shortcut_error_text(HResult result, std::u16string_view message) {
    while (!message.empty() && is_trailing_space(message.back())) message.remove_suffix(1);
    if (message.empty()) return hresult_text(result);
    return format_text("{} ({})", utf16_to_text(message), hresult_text(result));
}

}  // namespace pelko
