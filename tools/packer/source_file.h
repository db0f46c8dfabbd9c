#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <filesystem>
#include <span>
#include <string>

namespace pelko::packer {

// What tells that a file is still the one that was read: the file itself (device and inode, or
// on Windows the volume's serial number and the file's index), its size and the time it was last
// written.
struct FileStamp {
    std::uint64_t volume = 0;
    std::uint64_t file = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // in the system's own unit
    bool operator==(const FileStamp&) const = default;
};

// The stamp of the file its path names now; the system's reason when there is none ("No such
// file or directory").
std::expected<FileStamp, std::string> stamp_of(const std::filesystem::path& path);

// How `now` differs from `then`, in words ("its size went from 10 to 12 bytes"); empty when it
// does not.
std::string stamp_difference(const FileStamp& then, const FileStamp& now);

// A file read through one open handle, front to back, from its opening to its closing.
class SourceFile {
public:
    // The reason when it cannot be opened ("cannot open: Permission denied").
    static std::expected<SourceFile, std::string> open(const std::filesystem::path& path);
    SourceFile(SourceFile&& other) noexcept;
    SourceFile& operator=(SourceFile&&) = delete;
    ~SourceFile();

    // Taken as it was opened.
    const FileStamp& stamp() const { return stamp_; }
    // The next bytes into `out`: how many there were (fewer only at the end of the file), or the
    // system's reason.
    std::expected<std::size_t, std::string> read(std::span<std::byte> out);
    // Nothing when the file read, and the file its path names now, both still have the stamp it
    // was opened with; else what changed, in words.
    std::expected<void, std::string> check_unchanged(const std::filesystem::path& path) const;

private:
    SourceFile() = default;
    std::intptr_t file_ = -1;  // host::FileHandle; -1: none
    FileStamp stamp_;
};

// Nothing when the file at `path` still has `stamp`, else what changed, in words ("it is gone").
std::expected<void, std::string> check_unchanged(const std::filesystem::path& path,
                                                 const FileStamp& stamp);

}  // namespace pelko::packer
