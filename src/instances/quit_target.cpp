#include "instances/quit_target.h"

#include "instances/command_line_program.h"
#include "instances/find_processes.h"
#include "platform/path.h"
#include "shared/product.h"

namespace pelko {

QuitTarget locate_quit_target(Platform& os, const OsString& install_dir,
                              std::span<const ProcessRecord> snapshot) {
    const std::vector<std::uint32_t> ids = filter_processes(snapshot, kAppNameList);
    if (ids.empty()) return std::nullopt;

    for (const std::uint32_t id : ids) {
        const std::optional<std::string> command_line = os.process_command_line(id);
        if (!command_line) continue;
        // Only the first readable command line counts, even when its program is then rejected.
        OsString program = OsString::from_utf8(command_line_program(*command_line));
        if (!program.empty() && os.path_exists(program)) return program;
        break;
    }
    return path_join(install_dir, kAppExecutableName);
}

}  // namespace pelko
