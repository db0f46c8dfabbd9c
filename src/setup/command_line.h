#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace pelko {

// Splits a command line into its arguments. The first is the program path, which has no
// escapes: each double quote toggles quoting and is dropped, and it ends at the first space or
// tab outside quotes. Later arguments follow the usual rules: quotes group, "" inside quotes is a
// literal quote, and 2n backslashes before a quote give n backslashes (2n+1 give n and a literal
// quote). An empty command line gives no arguments at all.
std::vector<std::u16string> split_command_line(std::u16string_view line);

// The arguments of this process; for an empty command line, the module file name alone.
std::vector<std::u16string> read_arguments(Platform& os);

// True when an argument after the program path is exactly "--update".
bool is_update_mode(const std::vector<std::u16string>& arguments);

}  // namespace pelko
