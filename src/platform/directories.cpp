#include "platform/directories.h"

#include <vector>

#include "platform/path.h"

namespace pelko {
namespace {

bool exists_as_directory(Platform& os, const OsError& error, const OsString& path) {
    return error.kind == OsErrorKind::already_exists && os.is_directory(path);
}

}  // namespace

OsResult<void> create_directory_all(Platform& os, const OsString& path) {
    std::vector<OsString> missing;
    OsString current = path;
    for (;;) {
        const OsResult<void> made = os.create_directory(current);
        if (made || exists_as_directory(os, made.error(), current)) break;
        if (made.error().kind != OsErrorKind::not_found) return made;
        std::optional<OsString> parent = windows_parent(current);
        if (!parent || parent->empty()) return made;
        missing.push_back(std::move(current));
        current = std::move(*parent);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        const OsResult<void> made = os.create_directory(*it);
        if (!made && !exists_as_directory(os, made.error(), *it)) return made;
    }
    return {};
}

}  // namespace pelko
