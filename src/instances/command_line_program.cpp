#include "instances/command_line_program.h"

#include <cstddef>

#include "platform/os_string.h"

namespace pelko {
namespace {

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The code point of the UTF-8 sequence at `at` and its length in bytes. A byte that does not
// begin a complete sequence counts as one character (U+FFFD) that is no white space.
char32_t decode_at(std::string_view text, std::size_t at, std::size_t& length) {
    std::size_t next = at;
    const char32_t value = decode_utf8(text, next);
    length = next - at;
    return value;
}

// The characters with the Unicode White_Space property.
bool is_unicode_white_space(char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

}  // namespace

std::string command_line_program(std::string_view command_line) {
    std::string_view text = command_line;

    // Leading white space.
    while (!text.empty()) {
        std::size_t length = 0;
        if (!is_unicode_white_space(decode_at(text, 0, length))) break;
        text.remove_prefix(length);
    }
    // Trailing white space: step back to the start of the last character.
    while (!text.empty()) {
        std::size_t start = text.size() - 1;
        while (start > 0 && text.size() - start < 4 &&
               is_continuation(static_cast<unsigned char>(text[start]))) {
            --start;
        }
        std::size_t length = 0;
        const char32_t last = decode_at(text, start, length);
        if (start + length != text.size() || !is_unicode_white_space(last)) break;
        text.remove_suffix(length);
    }

    if (!text.empty() && text.front() == '"') {
        text.remove_prefix(1);
        return std::string(text.substr(0, text.find('"')));
    }
    return std::string(text.substr(0, text.find(' ')));
}

}  // namespace pelko
