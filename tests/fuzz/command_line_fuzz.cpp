// Fuzzes the command-line splitter with arbitrary UTF-16 (lone surrogates, NULs, quotes).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "setup/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u16string line(size / 2, u'\0');
    for (std::size_t i = 0; i < line.size(); ++i) {
        line[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    }
    const std::vector<std::u16string> args = pelko::split_command_line(line);

    // Nothing is invented: the arguments together are never longer than the line, and an
    // empty line gives no arguments while any other gives the program path first.
    std::size_t total = 0;
    for (const auto& a : args) total += a.size();
    if (total > line.size()) std::abort();
    if (line.empty() != args.empty()) std::abort();
    // Update mode needs the word in the line once the quotes, which only group, are dropped.
    std::u16string unquoted;
    for (const char16_t c : line) {
        if (c != u'"') unquoted.push_back(c);
    }
    if (pelko::is_update_mode(args) && unquoted.find(u"--update") == std::u16string::npos) {
        std::abort();
    }
    return 0;
}
