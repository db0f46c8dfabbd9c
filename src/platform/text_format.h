#pragma once

#include <charconv>
#include <concepts>
#include <string>
#include <string_view>
#include <type_traits>

namespace pelko {

// Fills the "{}" placeholders of a fixed template, in order: text unchanged, integers in
// decimal, booleans as "true" or "false". (The toolchains here have no <format>.)
namespace detail {

inline void append_value(std::string& out, std::string_view text) { out += text; }
inline void append_value(std::string& out, const std::string& text) { out += text; }
inline void append_value(std::string& out, const char* text) { out += text; }
inline void append_value(std::string& out, bool value) { out += value ? "true" : "false"; }

template <std::integral T>
    requires(!std::same_as<T, bool> && !std::same_as<T, char>)
void append_value(std::string& out, T value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

inline void format_into(std::string& out, std::string_view pattern) { out += pattern; }

template <class First, class... Rest>
void format_into(std::string& out, std::string_view pattern, const First& first,
                 const Rest&... rest) {
    const std::size_t at = pattern.find("{}");
    if (at == std::string_view::npos) {
        out += pattern;
        return;
    }
    out += pattern.substr(0, at);
    append_value(out, first);
    format_into(out, pattern.substr(at + 2), rest...);
}

}  // namespace detail

template <class... Args>
std::string format_text(std::string_view pattern, const Args&... args) {
    std::string out;
    out.reserve(pattern.size() + 16 * sizeof...(Args));
    detail::format_into(out, pattern, args...);
    return out;
}

}  // namespace pelko
