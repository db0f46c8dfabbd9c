#include "payload/payload_name.h"

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

}  // namespace

bool is_dotdot_or_absolute(std::string_view name) {
    if (name.find("..") != std::string_view::npos) return true;
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
    const std::size_t cut = name.find_last_of("\\/");
    const std::string_view last = cut == std::string_view::npos ? name : name.substr(cut + 1);
    return last.empty() || last == ".";
}

}  // namespace pelko
