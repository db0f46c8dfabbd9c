#include "payload/file_name_key.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace pelko {
namespace {

struct UpcaseRange {
    std::uint16_t first, last;
    std::uint8_t stride;
    std::int32_t delta;
};

constexpr UpcaseRange kUpcase[] = {
#include "payload/upcase_table.inc"
};

char32_t upcase(char32_t c) {
    if (c < 0x80) return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
    if (c > 0xFFFF) return c;  // Windows upcases UTF-16 units one by one: surrogates stay
    const auto* range =
        std::upper_bound(std::begin(kUpcase), std::end(kUpcase), c,
                         [](char32_t v, const UpcaseRange& r) { return v < r.first; });
    if (range == std::begin(kUpcase)) return c;
    --range;
    if (c > range->last || (c - range->first) % range->stride != 0) return c;
    return static_cast<char32_t>(static_cast<std::int32_t>(c) + range->delta);
}

void put_utf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The component upcased, character by character. Bytes that do not form UTF-8 are kept as they
// are (the names this is used on have passed the UTF-8 test).
void append_upcased(std::string& out, std::string_view component) {
    for (std::size_t i = 0; i < component.size();) {
        const auto lead = static_cast<unsigned char>(component[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (lead >= 0x80 && (lead < 0xC2 || i + length > component.size())) {
            out += component[i++];
            continue;
        }
        char32_t c = length == 1 ? lead : lead & (0xFF >> (length + 1));
        for (std::size_t k = 1; k < length; ++k) {
            c = (c << 6) | (static_cast<unsigned char>(component[i + k]) & 0x3F);
        }
        put_utf8(out, upcase(c));
        i += length;
    }
}

}  // namespace

std::string file_name_key(std::string_view relative_path) {
    std::string key;
    std::size_t start = 0;
    while (start <= relative_path.size()) {
        std::size_t end = relative_path.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = relative_path.size();
        std::string_view component = relative_path.substr(start, end - start);
        while (!component.empty() && (component.back() == '.' || component.back() == ' ')) {
            component.remove_suffix(1);
        }
        if (!component.empty()) {
            if (!key.empty()) key += '\\';
            append_upcased(key, component);
        }
        start = end + 1;
    }
    return key;
}

}  // namespace pelko
