#include "payload/names/staging_path.h"

#include <string>

#include "platform/path.h"

namespace pelko {

StagingName staging_name(std::string_view path) {
    // UTF-8 and WTF-8 keep '.', '\' and '/' as single bytes that never occur inside a multi-byte
    // sequence.
    const std::size_t component = path.size() - last_component(path).size();
    const std::size_t dot = path.find_last_of('.');
    if (dot != std::string_view::npos && dot > component) return {path.substr(0, dot + 1), "new"};
    return {path, ".new"};
}

OsString staging_path(const OsString& target) {
    const StagingName staging = staging_name(target.wtf8());
    return OsString::from_utf8(staging.kept).append(staging.added);
}

}  // namespace pelko
