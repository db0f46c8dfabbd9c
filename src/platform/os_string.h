#pragma once

#include <compare>
#include <optional>
#include <string>
#include <string_view>

namespace pelko {

// A string as the operating system holds it (paths, environment values, arguments): any
// sequence of UTF-16 code units, unpaired surrogates included. Stored losslessly as WTF-8
// (UTF-8 that may also encode lone surrogates); converted to UTF-16 only at the OS call.
class OsString {
public:
    OsString() = default;

    // Valid UTF-8 text is valid WTF-8, so it is stored unchanged.
    static OsString from_utf8(std::string_view text);
    static OsString from_utf16(std::u16string_view units);

    std::u16string to_utf16() const;
    // Display text: each unpaired surrogate becomes U+FFFD.
    std::string to_text() const;

    const std::string& wtf8() const { return bytes_; }
    bool empty() const { return bytes_.empty(); }
    bool contains_nul() const { return bytes_.find('\0') != std::string::npos; }

    // Appends, joining a trailing lead surrogate and a leading trail surrogate into one pair.
    OsString& append(const OsString& tail);
    OsString& append(std::string_view utf8_tail) { return append(from_utf8(utf8_tail)); }

    friend bool operator==(const OsString&, const OsString&) = default;
    friend auto operator<=>(const OsString&, const OsString&) = default;

private:
    std::string bytes_;
};

// UTF-16 to UTF-8 text, each unpaired surrogate replaced by U+FFFD.
std::string utf16_to_text(std::u16string_view units);
// UTF-16 to UTF-8, or nothing when the units hold an unpaired surrogate.
std::optional<std::string> utf16_to_utf8_strict(std::u16string_view units);
// UTF-8 text to UTF-16 (supplementary characters as surrogate pairs). The input is valid UTF-8.
std::u16string utf8_to_utf16(std::string_view text);
// The code point of the UTF-8 sequence at `at` (WTF-8's lone surrogates decode as themselves),
// moving `at` past it. A byte that does not begin a complete sequence (a lead byte without its
// continuation bytes, a continuation byte, 0xF8 to 0xFF) gives U+FFFD and moves one byte. The one
// UTF-8 decoder of the program: overlong forms are decoded as they are (is_valid_utf8 refuses
// them where that matters).
char32_t decode_utf8(std::string_view text, std::size_t& at);
// Strict UTF-8 check: no overlong forms, no surrogates, nothing above U+10FFFF.
bool is_valid_utf8(std::string_view bytes);

}  // namespace pelko
