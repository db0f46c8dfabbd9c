// Fuzzes the program-path extraction from another process's command line (arbitrary bytes,
// valid or not as UTF-8).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "instances/command_line_program.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const std::string program = pelko::command_line_program(line);

    // The program is a piece of the line (memory safety and UB are checked by the sanitizers).
    if (program.size() > line.size()) std::abort();
    if (line.find(program) == std::string_view::npos) std::abort();
    return 0;
}
