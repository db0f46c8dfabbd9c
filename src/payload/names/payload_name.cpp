#include "payload/names/payload_name.h"

#include <algorithm>
#include <string>

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

}  // namespace

NameFault payload_name_fault(std::string_view name) {
    if (name.find("..") != std::string_view::npos) return NameFault::dot_dot;
    if (is_absolute(name)) return NameFault::absolute;
    if (is_not_plain_file_path(name)) return NameFault::not_plain;
    if (name.find(':') != std::string_view::npos) return NameFault::stream;
    if (any_component(name, is_device_name)) return NameFault::device;
    return NameFault::none;
}

bool is_acceptable_payload_name(std::string_view name) {
    return payload_name_fault(name) == NameFault::none;
}

}  // namespace pelko
