// Placeholder: not implemented yet.
#include "fake_platform.h"

namespace pelko::testing {

std::vector<ProcessRecord> FakePlatform::process_snapshot() { return {}; }
std::optional<std::string> FakePlatform::process_command_line(std::uint32_t) { return std::nullopt; }
bool FakePlatform::path_exists(const OsString&) { return false; }
OsResult<void> FakePlatform::run_program(const OsString&, const OsString&, ProgramWait) { return std::unexpected(OsError::from_code(50)); }

}  // namespace pelko::testing
