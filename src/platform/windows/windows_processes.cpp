// Placeholder: not implemented yet.
#include "platform/windows/windows_platform.h"

namespace pelko::win {

std::vector<ProcessRecord> WindowsPlatform::process_snapshot() { return {}; }
std::optional<std::string> WindowsPlatform::process_command_line(std::uint32_t) { return std::nullopt; }
bool WindowsPlatform::path_exists(const OsString&) { return false; }
OsResult<void> WindowsPlatform::run_program(const OsString&, const OsString&, ProgramWait) { return std::unexpected(OsError::from_code(50)); }

}  // namespace pelko::win
