#include "platform/directories.h"

#include <vector>

#include "platform/path.h"

namespace pelko {
namespace {

bool is_not_found(std::uint32_t code) {
    return code == 2 || code == 3 || code == 15 || code == 53 || code == 67;
}

bool is_already_exists(std::uint32_t code) { return code == 80 || code == 183; }

}  // namespace

OsResult<void> create_directory_all(Platform& os, const OsString& path) {
    std::vector<OsString> missing;
    OsString current = path;
    for (;;) {
        const OsResult<void> made = os.create_directory(current);
        if (made) break;
        const OsError error = made.error();
        if (error.nul_in_string) return made;
        if (is_already_exists(error.code)) {
            if (os.is_directory(current)) break;
            return made;
        }
        if (!is_not_found(error.code)) return made;
        std::optional<OsString> parent = windows_parent(current);
        if (!parent || parent->empty()) return made;
        missing.push_back(std::move(current));
        current = std::move(*parent);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        const OsResult<void> made = os.create_directory(*it);
        if (made) continue;
        const OsError& error = made.error();
        if (!error.nul_in_string && is_already_exists(error.code) && os.is_directory(*it)) continue;
        return made;
    }
    return {};
}

}  // namespace pelko
