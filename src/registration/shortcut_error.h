#pragma once

#include <string>

#include "platform/platform.h"

namespace pelko {

// COM result of a success that handed back no interface.
inline constexpr HResult kPointerError = static_cast<HResult>(0x80004003u);  // E_POINTER

// A failed shortcut: the HRESULT of the first call that failed (negative) and the thread's
// error-information object taken right after it (may be empty). Owns one reference to that
// object and releases it when dropped; moving hands the reference on.
class ShortcutError {
public:
    ShortcutError(Platform& os, HResult result, ComObject error_info)
        : os_(&os), result_(result), error_info_(error_info) {}
    ~ShortcutError();

    ShortcutError(ShortcutError&& other) noexcept;
    ShortcutError& operator=(ShortcutError&& other) noexcept;
    ShortcutError(const ShortcutError&) = delete;
    ShortcutError& operator=(const ShortcutError&) = delete;

    HResult result() const { return result_; }
    ComObject error_info() const { return error_info_; }

    // "{message} ({hresult})", or the HRESULT form alone when there is no message. The message
    // comes from the error-information object alone when there is one, else from the system's
    // table for the HRESULT; trailing white space is cut, lone surrogates show as U+FFFD.
    std::string text() const;

private:
    void release();

    Platform* os_;
    HResult result_;
    ComObject error_info_;
};

// "0x" and the 32-bit code in eight upper-case hexadecimal digits, e.g. "0x80004003".
std::string hresult_text(HResult result);

}  // namespace pelko
