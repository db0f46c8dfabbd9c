// File installation on the fake file system: the staging file, the move and the delete.
#include "fake_platform.h"

#include "platform/text_format.h"

namespace pelko::testing {

OsResult<FileHandle> FakePlatform::create_for_writing(const OsString& path) {
    return open_file("create_for_writing", path, true);  // created, or cut to zero bytes
}

OsResult<void> FakePlatform::move_replacing(const OsString& from, const OsString& to) {
    if (from.contains_nul() || to.contains_nul()) return std::unexpected(OsError::nul());
    if (const auto code = enter("move_replacing", format_text("{} -> {}", from.to_text(),
                                                              to.to_text()))) {
        return std::unexpected(injected_error(*code));
    }
    const std::string source = normalize(from);
    const std::string target = normalize(to);
    const auto it = files.find(source);
    if (it == files.end()) return std::unexpected(os_error_of(2));
    const std::string parent = parent_key(target);
    if (parent.size() > 2 && !directories.contains(parent)) {
        return std::unexpected(os_error_of(3));
    }
    if (directories.contains(target)) return std::unexpected(os_error_of(5));
    if (source == target) return {};
    std::string contents = std::move(it->second);
    files.erase(it);
    files[target] = std::move(contents);
    return {};
}

OsResult<void> FakePlatform::delete_file(const OsString& path) {
    if (path.contains_nul()) return std::unexpected(OsError::nul());
    if (const auto code = enter("delete_file", path.to_text())) {
        return std::unexpected(injected_error(*code));
    }
    if (files.erase(normalize(path)) == 0) return std::unexpected(os_error_of(2));
    return {};
}

}  // namespace pelko::testing
