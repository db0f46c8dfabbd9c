#pragma once

#include <optional>
#include <string_view>

#include "platform/os_string.h"

namespace pelko {

// Joins a base path and a relative part with one '\' between them, unless the base is empty,
// already ends in '\' or '/', or is a bare drive such as "C:". The relative part is appended
// unchanged, '/' included.
OsString path_join(const OsString& base, const OsString& relative);
OsString path_join(const OsString& base, std::string_view relative_utf8);

// The parent of a path by Windows path rules: the prefix (drive, UNC share, verbatim or device
// form) and the root are kept, the last component is removed, '.' components and repeated
// separators are ignored. Nothing when there is no component to remove (empty path, bare root,
// bare drive, bare share).
std::optional<OsString> windows_parent(const OsString& path);

// True when the character is a path separator ('\' or '/').
constexpr bool is_separator(char c) { return c == '\\' || c == '/'; }

// A path (UTF-8 or WTF-8, whose separators are single bytes) cut at its last separator, by no
// other rule: the part before it ("" when it has none), and the last component after it.
constexpr std::string_view before_last_component(std::string_view path) {
    const std::size_t cut = path.find_last_of("\\/");
    return cut == std::string_view::npos ? std::string_view() : path.substr(0, cut);
}
constexpr std::string_view last_component(std::string_view path) {
    const std::size_t cut = path.find_last_of("\\/");
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

}  // namespace pelko
