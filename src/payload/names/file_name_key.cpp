#include "payload/names/file_name_key.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <utility>

#include "platform/os_string.h"

namespace pelko {
namespace {

struct UpcaseRange {
    std::uint16_t first, last;
    std::uint8_t stride;
    std::int32_t delta;
};

constexpr UpcaseRange kUpcase[] = {
#include "payload/names/upcase_table.inc"
};

char16_t upcase(char16_t c) {
    if (c < 0x80) return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
    const auto* range =
        std::upper_bound(std::begin(kUpcase), std::end(kUpcase), c,
                         [](char16_t v, const UpcaseRange& r) { return v < r.first; });
    if (range == std::begin(kUpcase)) return c;
    --range;
    if (c > range->last || (c - range->first) % range->stride != 0) return c;
    return static_cast<char16_t>(static_cast<std::int32_t>(c) + range->delta);
}

// The UTF-16 units of UTF-8 text, one code point at a time: at most one unit per byte. A byte
// that does not begin a well-formed sequence stands for U+FFFD (names reach here checked).
class Utf16Units {
public:
    explicit Utf16Units(std::string_view text) : text_(text) {}
    bool done() const { return at_ == text_.size() && pending_ == 0; }
    char16_t next() {
        if (pending_ != 0) return std::exchange(pending_, u'\0');
        char32_t cp = decode_utf8(text_, at_);
        if (cp < 0x10000) return static_cast<char16_t>(cp);
        cp -= 0x10000;
        pending_ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        return static_cast<char16_t>(0xD800 + (cp >> 10));
    }

private:
    std::string_view text_;
    std::size_t at_ = 0;
    char16_t pending_ = 0;
};

}  // namespace

std::size_t write_file_name_key(std::string_view relative_path, std::span<char16_t> out) {
    std::size_t length = 0;
    std::size_t component = 0;  // where the component being written began
    bool first = true;
    // Ends the component written since `component`: its trailing dots and blanks go, and an
    // empty one goes whole, with the separator written before it.
    const auto end_component = [&] {
        while (length > component && (out[length - 1] == u'.' || out[length - 1] == u' ')) {
            --length;
        }
        if (length == component) {
            if (!first) --length;  // the separator before it
        } else {
            first = false;
        }
    };
    Utf16Units units(relative_path);
    while (!units.done()) {
        const char16_t unit = units.next();
        if (unit == u'\\' || unit == u'/') {
            end_component();
            if (!first) out[length++] = u'\\';
            component = length;
        } else {
            // Windows upcases a name one UTF-16 unit at a time: a unit of a surrogate pair stays.
            out[length++] = upcase(unit);
        }
    }
    end_component();
    return length;
}

std::u16string file_name_key(std::string_view relative_path) {
    std::u16string key(relative_path.size(), u'\0');
    key.resize(write_file_name_key(relative_path, key));
    return key;
}

}  // namespace pelko
