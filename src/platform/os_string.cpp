#include "platform/os_string.h"

#include <cstdint>

namespace pelko {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool is_lead(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool is_trail(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

void put_code_point(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Walks UTF-16 units; `lone` decides what an unpaired surrogate becomes.
template <class OnLone>
std::string encode(std::u16string_view units, OnLone lone) {
    std::string out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t u = units[i];
        if (is_lead(u) && i + 1 < units.size() && is_trail(units[i + 1])) {
            const char32_t cp = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) +
                                (static_cast<char32_t>(units[i + 1]) - 0xDC00);
            put_code_point(out, cp);
            ++i;
        } else if (is_lead(u) || is_trail(u)) {
            lone(out, u);
        } else {
            put_code_point(out, u);
        }
    }
    return out;
}

bool encodes_lead(std::string_view s) {
    return s.size() >= 3 && static_cast<unsigned char>(s[s.size() - 3]) == 0xED &&
           (static_cast<unsigned char>(s[s.size() - 2]) & 0xF0) == 0xA0;
}

bool encodes_trail(std::string_view s) {
    return s.size() >= 3 && static_cast<unsigned char>(s[0]) == 0xED &&
           (static_cast<unsigned char>(s[1]) & 0xF0) == 0xB0;
}

}  // namespace

OsString OsString::from_utf8(std::string_view text) {
    OsString s;
    s.bytes_.assign(text);
    return s;
}

OsString OsString::from_utf16(std::u16string_view units) {
    OsString s;
    s.bytes_ = encode(units, [](std::string& out, char16_t u) { put_code_point(out, u); });
    return s;
}

std::u16string OsString::to_utf16() const {
    std::u16string out;
    out.reserve(bytes_.size());
    for (std::size_t i = 0; i < bytes_.size();) {
        const char32_t cp = decode_utf8(bytes_, i);
        if (cp >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string OsString::to_text() const {
    std::string out;
    out.reserve(bytes_.size());
    for (std::size_t i = 0; i < bytes_.size();) {
        const std::size_t start = i;
        const char32_t cp = decode_utf8(bytes_, i);
        if (cp >= 0xD800 && cp <= 0xDFFF) {
            put_code_point(out, kReplacement);
        } else {
            out.append(bytes_, start, i - start);
        }
    }
    return out;
}

OsString& OsString::append(const OsString& tail) {
    if (encodes_lead(bytes_) && encodes_trail(tail.bytes_)) {
        std::u16string joined = to_utf16();
        joined += tail.to_utf16();
        *this = from_utf16(joined);
    } else {
        bytes_ += tail.bytes_;
    }
    return *this;
}

std::string utf16_to_text(std::u16string_view units) {
    return encode(units, [](std::string& out, char16_t) { put_code_point(out, kReplacement); });
}

std::optional<std::string> utf16_to_utf8_strict(std::u16string_view units) {
    bool lone = false;
    std::string out = encode(units, [&](std::string&, char16_t) { lone = true; });
    if (lone) return std::nullopt;
    return out;
}

char32_t decode_utf8(std::string_view text, std::size_t& at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t count = 1;
    char32_t value = lead;
    if (lead >= 0xC0 && lead < 0xE0) {
        count = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead < 0xF0) {
        count = 3;
        value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead < 0xF8) {
        count = 4;
        value = lead & 0x07;
    }
    const bool cut = lead >= 0x80 && (count == 1 || at + count > text.size());
    for (std::size_t i = 1; !cut && i < count; ++i) {
        const auto byte = static_cast<unsigned char>(text[at + i]);
        if ((byte & 0xC0) != 0x80) {
            ++at;
            return kReplacement;
        }
        value = (value << 6) | (byte & 0x3F);
    }
    if (cut) {
        ++at;
        return kReplacement;
    }
    at += count;
    return value;
}

std::u16string utf8_to_utf16(std::string_view text) {
    return OsString::from_utf8(text).to_utf16();
}

bool is_valid_utf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t len = 0;
        char32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > s.size()) return false;
        for (std::size_t k = 1; k < len; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if ((len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) || cp > 0x10FFFF ||
            (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += len;
    }
    return true;
}

}  // namespace pelko
