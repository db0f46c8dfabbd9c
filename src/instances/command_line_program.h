#pragma once

#include <string>
#include <string_view>

namespace pelko {

// The program path at the head of a command line (UTF-8). Leading and trailing Unicode white
// space is removed; a program opening with '"' runs to the next '"' (or to the end when there is
// none); an unquoted one runs to the first space (a tab or other white space does not end it).
// Backslashes and doubled quotes mean nothing here. Empty for an empty or all-blank line.
std::string command_line_program(std::string_view command_line);

}  // namespace pelko
