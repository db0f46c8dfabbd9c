#include "registration/shortcut_error.h"

#include <utility>

#include "platform/os_string.h"
#include "platform/text_format.h"

namespace pelko {
namespace {

bool is_trailing_space(char16_t c) {
    return c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r' || c == u' ';
}

}  // namespace

ShortcutError::~ShortcutError() { release(); }

ShortcutError::ShortcutError(ShortcutError&& other) noexcept
    : os_(other.os_), result_(other.result_), error_info_(std::exchange(other.error_info_, {})) {}

ShortcutError& ShortcutError::operator=(ShortcutError&& other) noexcept {
    if (this != &other) {
        release();
        os_ = other.os_;
        result_ = other.result_;
        error_info_ = std::exchange(other.error_info_, {});
    }
    return *this;
}

void ShortcutError::release() {
    if (error_info_) os_->com_release(std::exchange(error_info_, {}));
}

std::string ShortcutError::text() const {
    std::u16string message =
        error_info_ ? os_->error_info_message(error_info_) : os_->hresult_message(result_);
    while (!message.empty() && is_trailing_space(message.back())) message.pop_back();
    if (message.empty()) return hresult_text(result_);
    return format_text("{} ({})", utf16_to_text(message), hresult_text(result_));
}

std::string hresult_text(HResult result) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const auto code = static_cast<std::uint32_t>(result);
    std::string text = "0x";
    for (int shift = 28; shift >= 0; shift -= 4) text += kDigits[(code >> shift) & 0xF];
    return text;
}

}  // namespace pelko
