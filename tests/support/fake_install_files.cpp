// File installation on the fake file system: the staging file, the move and the delete, the
// read-only attribute, and the space of its one volume.
#include "fake_platform.h"

#include "platform/text_format.h"

namespace pelko::testing {

OsResult<FileHandle> FakePlatform::create_for_writing(const OsString& path) {
    return open_file("create_for_writing", path, true);  // created, or cut to zero bytes
}

OsResult<void> FakePlatform::move_replacing(const OsString& from, const OsString& to) {
    const std::lock_guard guard(state_lock_);
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
    if (directories.contains(target) || read_only.contains(target)) {
        return std::unexpected(os_error_of(5));
    }
    if (source == target) return {};
    std::string contents = std::move(it->second);
    files.erase(it);
    files[target] = std::move(contents);
    links.erase(target);
    if (read_only.erase(source) != 0) read_only.insert(target);
    return {};
}

OsResult<void> FakePlatform::delete_file(const OsString& path) {
    const std::lock_guard guard(state_lock_);
    if (path.contains_nul()) return std::unexpected(OsError::nul());
    if (const auto code = enter("delete_file", path.to_text())) {
        return std::unexpected(injected_error(*code));
    }
    const std::string key = normalize(path);
    if (links.erase(key) != 0) return {};
    if (directories.contains(key)) return std::unexpected(os_error_of(5));  // a folder stays
    if (files.erase(key) == 0) return std::unexpected(os_error_of(2));
    read_only.erase(key);
    return {};
}

OsResult<bool> FakePlatform::is_read_only(const OsString& path) {
    const std::lock_guard guard(state_lock_);
    if (path.contains_nul()) return std::unexpected(OsError::nul());
    if (const auto code = enter("is_read_only", path.to_text())) {
        return std::unexpected(injected_error(*code));
    }
    const std::string key = normalize(path);
    if (!files.contains(key) && !links.contains(key)) return std::unexpected(os_error_of(2));
    return read_only.contains(key);
}

OsResult<void> FakePlatform::set_read_only(const OsString& path, bool on) {
    const std::lock_guard guard(state_lock_);
    if (path.contains_nul()) return std::unexpected(OsError::nul());
    if (const auto code = enter("set_read_only", format_text("{} {}", path.to_text(), on))) {
        return std::unexpected(injected_error(*code));
    }
    const std::string key = normalize(path);
    if (!files.contains(key)) return std::unexpected(os_error_of(2));
    if (on) {
        read_only.insert(key);
    } else {
        read_only.erase(key);
    }
    return {};
}

std::uint64_t FakePlatform::disk_used() const {
    std::uint64_t used = 0;
    for (const auto& [key, contents] : files) used += contents.size();
    return used;
}

OsResult<std::uint64_t> FakePlatform::free_disk_space(const OsString& directory) {
    const std::lock_guard guard(state_lock_);
    if (directory.contains_nul()) return std::unexpected(OsError::nul());
    if (const auto code = enter("free_disk_space", directory.to_text())) {
        return std::unexpected(injected_error(*code));
    }
    if (!disk_size) return std::unexpected(os_error_of(50));  // ERROR_NOT_SUPPORTED
    if (!directories.contains(normalize(directory))) return std::unexpected(os_error_of(3));
    return *disk_size - std::min(*disk_size, disk_used());
}

OsResult<std::uint64_t> FakePlatform::file_size(const OsString& path) {
    const std::lock_guard guard(state_lock_);
    if (path.contains_nul()) return std::unexpected(OsError::nul());
    if (const auto code = enter("file_size", path.to_text())) {
        return std::unexpected(injected_error(*code));
    }
    const std::string key = normalize(path);
    if (links.contains(key)) return 0;
    const auto found = files.find(key);
    if (found == files.end()) return std::unexpected(os_error_of(2));
    return found->second.size();
}

}  // namespace pelko::testing
