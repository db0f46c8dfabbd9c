#include "source_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "files.h"

namespace pelko::packer {

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
// The system's message for the thread's last error, without its line end.
std::string last_error_text() {
    const DWORD code = GetLastError();
    wchar_t* message = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    std::wstring wide = length != 0 ? std::wstring(message, length) : std::wstring();
    LocalFree(message);
    while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L'.')) {
        wide.pop_back();
    }
    return wide.empty() ? "error " + std::to_string(code) : path_text(fs::path(wide));
}

std::expected<FileStamp, std::string> stamp_of_handle(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info)) return std::unexpected(last_error_text());
    const auto wide = [](DWORD high, DWORD low) { return std::uint64_t{high} << 32 | low; };
    return FileStamp{info.dwVolumeSerialNumber, wide(info.nFileIndexHigh, info.nFileIndexLow),
                     wide(info.nFileSizeHigh, info.nFileSizeLow),
                     static_cast<std::int64_t>(wide(info.ftLastWriteTime.dwHighDateTime,
                                                    info.ftLastWriteTime.dwLowDateTime))};
}

// Others may go on reading, writing, renaming and deleting the file meanwhile: a change is
// found by its stamp, not prevented.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
#else
FileStamp stamp_of_stat(const struct stat& status) {
    return FileStamp{static_cast<std::uint64_t>(status.st_dev),
                     static_cast<std::uint64_t>(status.st_ino),
                     static_cast<std::uint64_t>(status.st_size),
                     static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 +
                         status.st_mtim.tv_nsec};
}

std::expected<FileStamp, std::string> stamp_of_descriptor(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) return std::unexpected(std::strerror(errno));
    return stamp_of_stat(status);
}
#endif

}  // namespace

std::expected<FileStamp, std::string> stamp_of(const fs::path& path) {
#ifdef _WIN32
    HANDLE handle = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return std::unexpected(last_error_text());
    auto stamp = stamp_of_handle(handle);
    CloseHandle(handle);
    return stamp;
#else
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return std::unexpected(std::strerror(errno));
    return stamp_of_stat(status);
#endif
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
#ifdef _WIN32
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return std::unexpected("cannot open: " + last_error_text());
    file.handle_ = handle;
    auto stamp = stamp_of_handle(handle);
#else
    file.fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file.fd_ < 0) return std::unexpected("cannot open: " + std::string(std::strerror(errno)));
    auto stamp = stamp_of_descriptor(file.fd_);
#endif
    if (!stamp) return std::unexpected("cannot read: " + stamp.error());
    file.stamp_ = *stamp;
    return file;
}

SourceFile::SourceFile(SourceFile&& other) noexcept
#ifdef _WIN32
    : handle_(std::exchange(other.handle_, nullptr)),
#else
    : fd_(std::exchange(other.fd_, -1)),
#endif
      stamp_(other.stamp_) {
}

SourceFile::~SourceFile() {
#ifdef _WIN32
    if (handle_ != nullptr) CloseHandle(handle_);
#else
    if (fd_ >= 0) ::close(fd_);
#endif
}

std::expected<std::size_t, std::string> SourceFile::read(std::span<std::byte> out) {
    std::size_t got = 0;
    while (got < out.size()) {
        // A call at most 1 GiB, as every system takes.
        const std::size_t ask = std::min<std::size_t>(out.size() - got, std::size_t{1} << 30);
#ifdef _WIN32
        DWORD count = 0;
        if (!ReadFile(handle_, out.data() + got, static_cast<DWORD>(ask), &count, nullptr)) {
            return std::unexpected(last_error_text());
        }
#else
        const ssize_t count = ::read(fd_, out.data() + got, ask);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) return std::unexpected(std::strerror(errno));
#endif
        if (count == 0) break;
        got += static_cast<std::size_t>(count);
    }
    return got;
}

std::expected<void, std::string> SourceFile::check_unchanged(const fs::path& path) const {
#ifdef _WIN32
    auto now = stamp_of_handle(handle_);
#else
    auto now = stamp_of_descriptor(fd_);
#endif
    if (!now) return std::unexpected("cannot read: " + now.error());
    if (std::string difference = stamp_difference(stamp_, *now); !difference.empty()) {
        return std::unexpected(std::move(difference));
    }
    return packer::check_unchanged(path, stamp_);
}

}  // namespace pelko::packer
