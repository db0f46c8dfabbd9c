#include "setup/command_line.h"

#include <algorithm>

namespace pelko {
namespace {

bool is_blank(char16_t c) { return c == u' ' || c == u'\t'; }

}  // namespace

std::vector<std::u16string> split_command_line(std::u16string_view line) {
    std::vector<std::u16string> args;
    if (line.empty()) return args;

    std::size_t i = 0;
    std::u16string program;
    bool quoted = false;
    for (; i < line.size(); ++i) {
        const char16_t c = line[i];
        if (c == u'"') {
            quoted = !quoted;
        } else if (!quoted && is_blank(c)) {
            break;
        } else {
            program.push_back(c);
        }
    }
    args.push_back(std::move(program));

    std::u16string current;
    bool in_argument = false;
    quoted = false;
    while (i < line.size()) {
        const char16_t c = line[i];
        if (!quoted && is_blank(c)) {
            if (in_argument) {
                args.push_back(std::move(current));
                current.clear();
                in_argument = false;
            }
            ++i;
            continue;
        }
        in_argument = true;
        if (c == u'\\') {
            std::size_t run = 0;
            while (i < line.size() && line[i] == u'\\') {
                ++run;
                ++i;
            }
            if (i < line.size() && line[i] == u'"') {
                current.append(run / 2, u'\\');
                if (run % 2 == 1) {
                    current.push_back(u'"');
                    ++i;
                }
            } else {
                current.append(run, u'\\');
            }
            continue;
        }
        if (c == u'"') {
            if (quoted && i + 1 < line.size() && line[i + 1] == u'"') {
                current.push_back(u'"');
                i += 2;
                continue;
            }
            quoted = !quoted;
            ++i;
            continue;
        }
        current.push_back(c);
        ++i;
    }
    if (in_argument) args.push_back(std::move(current));
    return args;
}

std::vector<std::u16string> read_arguments(Platform& os) {
    std::vector<std::u16string> args = split_command_line(os.command_line());
    if (args.empty()) args.push_back(os.module_file_name().to_utf16());
    return args;
}

bool is_update_mode(const std::vector<std::u16string>& arguments) {
    return arguments.size() > 1 &&
           std::find(arguments.begin() + 1, arguments.end(), u"--update") != arguments.end();
}

}  // namespace pelko
