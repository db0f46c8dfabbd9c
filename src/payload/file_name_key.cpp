#include "payload/file_name_key.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "platform/os_string.h"

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

}  // namespace

std::u16string file_name_key(std::string_view relative_path) {
    // Windows upcases a name one UTF-16 unit at a time: a unit of a surrogate pair stays as it is.
    const std::u16string units = utf8_to_utf16(relative_path);
    std::u16string key;
    std::size_t start = 0;
    while (start <= units.size()) {
        std::size_t end = units.find_first_of(u"\\/", start);
        if (end == std::u16string::npos) end = units.size();
        std::u16string_view component = std::u16string_view(units).substr(start, end - start);
        while (!component.empty() && (component.back() == u'.' || component.back() == u' ')) {
            component.remove_suffix(1);
        }
        if (!component.empty()) {
            if (!key.empty()) key += u'\\';
            for (const char16_t unit : component) key += upcase(unit);
        }
        start = end + 1;
    }
    return key;
}

}  // namespace pelko
