#include "setup/setup_log.h"

#include "platform/text_format.h"

#include "platform/directories.h"
#include "platform/path.h"
#include "shared/product.h"

namespace pelko {
namespace {

constexpr std::uint64_t kUnixEpochAsFileTime = 116'444'736'000'000'000ULL;

}  // namespace

std::string format_log_line(std::uint64_t system_time, std::uint32_t process_id,
                            std::string_view message) {
    const std::uint64_t millis =
        system_time < kUnixEpochAsFileTime ? 0 : (system_time - kUnixEpochAsFileTime) / 10'000;
    return format_text("{} pid {} {}\n", millis, process_id, message);
}

void write_log_line(Platform& os, std::string_view message) {
    const std::optional<OsString> local_app_data = os.environment_variable("LOCALAPPDATA");
    if (!local_app_data) return;

    const OsString directory = path_join(*local_app_data, kLogSubdirectory);
    (void)create_directory_all(os, directory);

    const std::uint64_t now = os.system_time();
    const OsResult<FileHandle> file = os.open_for_append(path_join(directory, kLogFileName));
    if (!file) return;

    const std::string line = format_log_line(now, os.current_process_id(), message);
    std::span<const std::byte> rest = std::as_bytes(std::span(line));
    while (!rest.empty()) {
        const OsResult<std::uint32_t> written = os.write_file(*file, rest);
        if (!written || *written == 0) break;
        rest = rest.subspan(*written);
    }
    os.close_file(*file);
}

}  // namespace pelko
