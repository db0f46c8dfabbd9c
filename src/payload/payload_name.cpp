#include "payload/payload_name.h"

#include <algorithm>
#include <array>
#include <string>

#include "payload/staging_path.h"
#include "platform/path.h"

namespace pelko {
namespace {

bool is_ascii_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool has_drive_prefix(std::string_view name) {
    return name.size() >= 2 && is_ascii_letter(name[0]) && name[1] == ':';
}

// "\\server\share" or "//server/share", each part non-empty, followed by anything.
bool is_server_share(std::string_view name) {
    if (name.size() < 2 || !is_separator(name[0]) || !is_separator(name[1])) return false;
    std::size_t i = 2;
    const std::size_t server_start = i;
    while (i < name.size() && !is_separator(name[i])) ++i;
    if (i == server_start || i == name.size()) return false;
    ++i;  // the separator after the server
    return i < name.size() && !is_separator(name[i]);
}

// Windows maps these names, in any letter case, with any extension and with trailing spaces
// before it, to devices: "CON", "nul.txt" and "Aux .log" open a device, not a file.
bool is_device_name(std::string_view component) {
    std::string_view base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    std::string upper(base);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL" ||
        upper == "CONIN$" || upper == "CONOUT$") {
        return true;
    }
    if (!upper.starts_with("COM") && !upper.starts_with("LPT")) return false;
    const std::string_view number = std::string_view(upper).substr(3);
    // A digit, or the superscripts one, two and three (U+00B9, U+00B2, U+00B3 in UTF-8).
    return (number.size() == 1 && number[0] >= '0' && number[0] <= '9') ||
           number == "\xC2\xB9" || number == "\xC2\xB2" || number == "\xC2\xB3";
}

// True when `test` holds for a component of the name.
template <class Test>
bool any_component(std::string_view name, Test test) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = name.find_first_of("\\/", start);
        if (test(name.substr(start, end == std::string_view::npos ? end : end - start))) {
            return true;
        }
        if (end == std::string_view::npos) return false;
        start = end + 1;
    }
}

std::string_view last_component(std::string_view name) {
    const std::size_t cut = name.find_last_of("\\/");
    return cut == std::string_view::npos ? name : name.substr(cut + 1);
}

bool is_absolute(std::string_view name) {
    if (has_drive_prefix(name) && name.size() >= 3 && is_separator(name[2])) return true;
    if (name.starts_with("\\\\?\\")) return true;
    if (name.size() >= 4 && is_separator(name[0]) && is_separator(name[1]) && name[2] == '.' &&
        is_separator(name[3])) {
        return true;
    }
    return is_server_share(name);
}

bool is_not_plain_file_path(std::string_view name) {
    if (name.empty() || is_separator(name[0]) || has_drive_prefix(name)) return true;
    const std::string_view last = last_component(name);
    return last.empty() || last == ".";
}

// The number of characters of UTF-8 text: its bytes that do not continue a sequence.
std::size_t characters(std::string_view text) {
    return static_cast<std::size_t>(std::ranges::count_if(
        text, [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

bool is_short_name_form(std::string_view component) {
    while (!component.empty() && (component.back() == '.' || component.back() == ' ')) {
        component.remove_suffix(1);
    }
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

bool has_short_name_form(std::string_view name) {
    if (any_component(name, is_short_name_form)) return true;
    // The staging file's name, when it is short enough to be in that form (8 + 1 + 3
    // characters of up to 4 bytes).
    const StagingName staging = staging_name(last_component(name));
    std::array<char, 48> staged;
    if (staging.size() > staged.size()) return false;
    return is_short_name_form(std::string_view(staged.data(), staging.copy_to(staged.data())));
}

}  // namespace

NameFault payload_name_fault(std::string_view name) {
    if (name.find("..") != std::string_view::npos) return NameFault::dot_dot;
    if (is_absolute(name)) return NameFault::absolute;
    if (is_not_plain_file_path(name)) return NameFault::not_plain;
    if (name.find(':') != std::string_view::npos) return NameFault::stream;
    if (any_component(name, is_device_name)) return NameFault::device;
    if (has_short_name_form(name)) return NameFault::short_name;
    return NameFault::none;
}

bool is_acceptable_payload_name(std::string_view name) {
    return payload_name_fault(name) == NameFault::none;
}

}  // namespace pelko
