#include "extract.h"

#include <algorithm>
#include <string>
#include <system_error>

#include "files.h"
#include "name_rules.h"
#include "payload_file.h"

namespace pelko::packer {
namespace fs = std::filesystem;

void extract_payload(const fs::path& input, const fs::path& folder,
                     const std::function<void(const fs::path&)>& written) {
    const OpenedPayload opened = open_payload(input);
    for (const PayloadEntry& entry : opened.entries) {
        // The installer's rules, and what Windows can create: plain relative file paths only.
        if (auto name = check_name(entry.name()); !name) throw Failure{name.error()};
    }
    for (const PayloadEntry& entry : opened.entries) {
        std::string relative = entry.name();
        std::ranges::replace(relative, '\\', '/');
        const fs::path target = folder / utf8_path(relative);
        std::error_code ec;
        fs::create_directories(target.parent_path(), ec);
        if (ec) throw Failure{path_text(target.parent_path()) + ": " + ec.message()};
        write_whole(target, entry.data(), input, opened.stamp);
        written(target);
    }
}

}  // namespace pelko::packer
