#include "source_file.h"

#include <algorithm>
#include <utility>

#include "files.h"
#include "host_os.h"

namespace pelko::packer {

namespace fs = std::filesystem;

std::expected<FileStamp, std::string> stamp_of(const fs::path& path) {
    return host::stamp_of_path(path);
}

std::string stamp_difference(const FileStamp& then, const FileStamp& now) {
    if (now.volume != then.volume || now.file != then.file) return "replaced by another file";
    if (now.size != then.size) {
        return "its size went from " + std::to_string(then.size) + " to " +
               std::to_string(now.size) + " bytes";
    }
    if (now.modified != then.modified) return "written to: its modification time changed";
    return {};
}

std::expected<void, std::string> check_unchanged(const fs::path& path, const FileStamp& stamp) {
    const auto now = stamp_of(path);
    if (!now) return std::unexpected("no longer there: " + now.error());
    if (std::string difference = stamp_difference(stamp, *now); !difference.empty()) {
        return std::unexpected(std::move(difference));
    }
    return {};
}

std::expected<SourceFile, std::string> SourceFile::open(const fs::path& path) {
    SourceFile file;
    const auto opened = host::open_for_reading(path);
    if (!opened) return std::unexpected("cannot open: " + opened.error());
    file.file_ = *opened;
    const auto stamp = host::stamp_of_file(file.file_);
    if (!stamp) return std::unexpected("cannot read: " + stamp.error());
    file.stamp_ = *stamp;
    return file;
}

SourceFile::SourceFile(SourceFile&& other) noexcept
    : file_(std::exchange(other.file_, host::kNoFile)), stamp_(other.stamp_) {}

SourceFile::~SourceFile() {
    if (file_ != host::kNoFile) host::close_file(file_);
}

std::expected<std::size_t, std::string> SourceFile::read(std::span<std::byte> out) {
    std::size_t got = 0;
    while (got < out.size()) {
        const auto count = host::read_some(file_, out.subspan(got));
        if (!count) return std::unexpected(count.error());
        if (*count == 0) break;
        got += *count;
    }
    return got;
}

std::expected<void, std::string> SourceFile::check_unchanged(const fs::path& path) const {
    auto now = host::stamp_of_file(file_);
    if (!now) return std::unexpected("cannot read: " + now.error());
    if (std::string difference = stamp_difference(stamp_, *now); !difference.empty()) {
        return std::unexpected(std::move(difference));
    }
    return packer::check_unchanged(path, stamp_);
}

}  // namespace pelko::packer
