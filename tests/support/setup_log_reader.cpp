#include "setup_log_reader.h"

#include <charconv>

namespace pelko::testing {
namespace {

// Reads a decimal number at the front of `text` and drops it; false when there is none.
template <class Number>
bool take_number(std::string_view& text, Number& number) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end == text.data()) return false;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return true;
}

// Drops `prefix` from the front of `text`; false when it is not there.
bool take(std::string_view& text, std::string_view prefix) {
    if (!text.starts_with(prefix)) return false;
    text.remove_prefix(prefix.size());
    return true;
}

}  // namespace

std::vector<LogLine> parse_log(std::string_view text) {
    std::vector<LogLine> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view rest = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        const std::string_view whole = rest;
        LogLine line;
        if (take_number(rest, line.millis) && take(rest, " pid ") &&
            take_number(rest, line.process_id) && take(rest, " ")) {
            line.message = rest;
            lines.push_back(std::move(line));
        } else if (!lines.empty()) {
            lines.back().message += '\n';
            lines.back().message += whole;
        }
    }
    return lines;
}

std::vector<std::string> log_messages_of(std::string_view text) {
    std::vector<std::string> messages;
    for (LogLine& line : parse_log(text)) messages.push_back(std::move(line.message));
    return messages;
}

}  // namespace pelko::testing
