#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pelko::testing {

// One line of the setup log, "{milliseconds since 1970} pid {process id} {message}".
struct LogLine {
    unsigned long long millis = 0;
    unsigned long process_id = 0;
    std::string message;
};

// The lines of a setup log's text, in order. A line not of that form continues the message
// before it (a message may hold a line break).
std::vector<LogLine> parse_log(std::string_view text);
// The messages alone.
std::vector<std::string> log_messages_of(std::string_view text);

}  // namespace pelko::testing
