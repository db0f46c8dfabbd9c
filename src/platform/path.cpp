#include "platform/path.h"

#include <string>

namespace pelko {
namespace {

bool is_ascii_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool is_bare_drive(std::string_view s) {
    return s.size() == 2 && is_ascii_letter(s[0]) && s[1] == ':';
}

// Length of the prefix of a Windows path (the part before its root), and whether only '\'
// separates components (the verbatim form).
struct Prefix {
    std::size_t length = 0;
    bool verbatim = false;
};

std::size_t component_end(std::string_view s, std::size_t from, bool backslash_only) {
    while (from < s.size() && !(s[from] == '\\' || (!backslash_only && s[from] == '/'))) ++from;
    return from;
}

Prefix parse_prefix(std::string_view s) {
    if (s.starts_with("\\\\?\\")) {
        // Verbatim: \\?\UNC\server\share, \\?\C:, or \\?\anything up to the next '\'.
        std::size_t p = 4;
        if (s.substr(p).starts_with("UNC\\")) {
            p = component_end(s, p + 4, true);
            if (p < s.size()) p = component_end(s, p + 1, true);
        } else if (s.size() >= p + 2 && is_ascii_letter(s[p]) && s[p + 1] == ':') {
            p += 2;
        } else {
            p = component_end(s, p, true);
        }
        return {p, true};
    }
    if (s.size() >= 2 && is_separator(s[0]) && is_separator(s[1])) {
        if (s.size() >= 4 && s[2] == '.' && is_separator(s[3])) {
            return {component_end(s, 4, false), false};  // device form \\.\NAME
        }
        std::size_t p = component_end(s, 2, false);
        if (p < s.size()) p = component_end(s, p + 1, false);
        return {p, false};  // \\server\share
    }
    if (s.size() >= 2 && is_ascii_letter(s[0]) && s[1] == ':') return {2, false};
    return {0, false};
}

}  // namespace

OsString path_join(const OsString& base, const OsString& relative) {
    OsString joined = base;
    const std::string& b = base.wtf8();
    if (!b.empty() && !is_separator(b.back()) && !is_bare_drive(b)) joined.append("\\");
    joined.append(relative);
    return joined;
}

OsString path_join(const OsString& base, std::string_view relative_utf8) {
    return path_join(base, OsString::from_utf8(relative_utf8));
}

std::optional<OsString> windows_parent(const OsString& path) {
    const std::string_view s = path.wtf8();
    const Prefix prefix = parse_prefix(s);
    const auto sep = [&](char c) { return c == '\\' || (!prefix.verbatim && c == '/'); };

    // Collect the components after the prefix and root as [begin, end) ranges.
    std::size_t i = prefix.length;
    const bool rooted = i < s.size() && sep(s[i]);
    struct Range {
        std::size_t begin, end;
    };
    std::optional<Range> last;
    std::optional<Range> before_last;
    bool first = true;
    while (i < s.size()) {
        while (i < s.size() && sep(s[i])) ++i;
        if (i >= s.size()) break;
        std::size_t j = i;
        while (j < s.size() && !sep(s[j])) ++j;
        const std::string_view c = s.substr(i, j - i);
        // '.' is dropped except as the first component of a relative path without prefix.
        const bool keep = c != "." || (prefix.verbatim) ||
                          (first && prefix.length == 0 && !rooted);
        if (keep) {
            before_last = last;
            last = Range{i, j};
        }
        first = false;
        i = j;
    }
    if (!last) return std::nullopt;

    std::size_t cut = prefix.length;
    if (before_last) {
        cut = before_last->end;
    } else if (rooted) {
        cut = prefix.length + 1;
    }
    return OsString::from_utf8(s.substr(0, cut));
}

}  // namespace pelko
