#include "payload/names/short_alias.h"

#include <algorithm>
#include <cstddef>

namespace pelko {
namespace {

// The number of characters of UTF-8 text: its bytes that do not continue a sequence.
std::size_t characters(std::string_view text) {
    return static_cast<std::size_t>(std::ranges::count_if(
        text, [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

bool is_ascii(char c) { return static_cast<unsigned char>(c) < 0x80; }

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// A character that a short name may hold as it is (letter case aside).
bool is_short_name_character(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           std::string_view("!#$%&'()-@^_`{}~").find(c) != std::string_view::npos;
}

// How a character of a long name is written in its alias: '_' for those a short name cannot
// hold; upper case otherwise.
char in_alias(char c) {
    return std::string_view("+,;=[]").find(c) != std::string_view::npos ? '_' : upper(c);
}

// Whether a character of a short form and one of an alias may be the same: equal, or either
// stands for what cannot be told ('_', or any byte of a non-ASCII character).
bool may_match(char short_form, char alias) {
    if (!is_ascii(short_form) || !is_ascii(alias) || short_form == '_' || alias == '_') {
        return true;
    }
    return upper(short_form) == in_alias(alias);
}

}  // namespace

std::string_view without_trailing_dots_and_blanks(std::string_view component) {
    while (!component.empty() && (component.back() == '.' || component.back() == ' ')) {
        component.remove_suffix(1);
    }
    return component;
}

bool is_short_name_form(std::string_view component) {
    const std::size_t dot = component.find('.');
    const std::string_view base = component.substr(0, dot);
    const std::string_view extension =
        dot == std::string_view::npos ? std::string_view() : component.substr(dot + 1);
    if (extension.find('.') != std::string_view::npos) return false;
    const std::size_t base_length = characters(base);
    const std::size_t tilde = base.find('~');
    return base_length >= 1 && base_length <= 8 && characters(extension) <= 3 &&
           tilde != std::string_view::npos && tilde + 1 < base.size();
}

bool gets_short_alias(std::string_view component) {
    const std::size_t dot = component.find('.');
    const std::string_view base = component.substr(0, dot);
    const std::string_view extension =
        dot == std::string_view::npos ? std::string_view() : component.substr(dot + 1);
    const bool valid = !base.empty() && base.size() <= 8 && extension.size() <= 3 &&
                       std::ranges::all_of(base, is_short_name_character) &&
                       std::ranges::all_of(extension, is_short_name_character);
    return !valid;
}

bool could_be_short_alias(std::string_view short_form, std::string_view long_name) {
    if (short_form.empty() || long_name.empty()) return false;
    // The first character: NTFS drops leading blanks and dots, Wine may write them as '_'.
    const std::size_t first = long_name.find_first_not_of(" .");
    if (first == std::string_view::npos) return false;
    if (first == 0 && !may_match(short_form[0], long_name[0])) return false;

    // The extensions: the short form's after its dot, the long name's after its last dot, its
    // blanks dropped.
    const std::size_t short_dot = short_form.find('.');
    const std::string_view short_extension =
        short_dot == std::string_view::npos ? std::string_view() : short_form.substr(short_dot + 1);
    const std::size_t long_dot = long_name.find_last_of('.');
    std::string_view long_extension =
        long_dot == std::string_view::npos ? std::string_view() : long_name.substr(long_dot + 1);
    for (const char c : short_extension) {
        while (!long_extension.empty() && long_extension.front() == ' ') {
            long_extension.remove_prefix(1);
        }
        if (long_extension.empty()) return false;
        // A non-ASCII character takes several bytes on one side and maybe one on the other:
        // past it nothing can be told apart.
        if (!is_ascii(c) || !is_ascii(long_extension.front())) return true;
        if (!may_match(c, long_extension.front())) return false;
        long_extension.remove_prefix(1);
    }
    return true;
}

}  // namespace pelko
