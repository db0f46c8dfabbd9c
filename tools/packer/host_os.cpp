#include "host_os.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <stdexcept>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <bcrypt.h>
#include <shellapi.h>
#else
#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "files.h"

namespace pelko::packer::host {
namespace fs = std::filesystem;

namespace {
void (*stop_action)() = nullptr;
}  // namespace

#ifdef _WIN32

namespace {

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

HANDLE handle_of(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

std::expected<FileStamp, std::string> stamp_of_handle(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info)) return std::unexpected(last_error_text());
    const auto wide = [](DWORD high, DWORD low) { return std::uint64_t{high} << 32 | low; };
    return FileStamp{info.dwVolumeSerialNumber, wide(info.nFileIndexHigh, info.nFileIndexLow),
                     wide(info.nFileSizeHigh, info.nFileSizeLow),
                     static_cast<std::int64_t>(wide(info.ftLastWriteTime.dwHighDateTime,
                                                    info.ftLastWriteTime.dwLowDateTime))};
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

BOOL WINAPI on_console_stop(DWORD) {
    if (stop_action != nullptr) stop_action();
    return FALSE;  // the next handler, the system's, ends the process
}

}  // namespace

std::expected<FileHandle, std::string> open_for_reading(const fs::path& path) {
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return std::unexpected(last_error_text());
    return reinterpret_cast<FileHandle>(handle);
}

void close_file(FileHandle file) { CloseHandle(handle_of(file)); }

std::expected<std::size_t, std::string> read_some(FileHandle file, std::span<std::byte> out) {
    const std::size_t ask = std::min<std::size_t>(out.size(), std::size_t{1} << 30);
    DWORD count = 0;
    if (!ReadFile(handle_of(file), out.data(), static_cast<DWORD>(ask), &count, nullptr)) {
        return std::unexpected(last_error_text());
    }
    return count;
}

std::expected<FileStamp, std::string> stamp_of_file(FileHandle file) {
    return stamp_of_handle(handle_of(file));
}

std::expected<FileStamp, std::string> stamp_of_path(const fs::path& path) {
    HANDLE handle = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return std::unexpected(last_error_text());
    auto stamp = stamp_of_handle(handle);
    CloseHandle(handle);
    return stamp;
}

std::FILE* create_for_writing(const fs::path& path) { return _wfopen(path.c_str(), L"wb"); }

void remove_in_handler(const fs::path::value_type* path) { DeleteFileW(path); }

void on_stop(void (*action)()) {
    stop_action = action;
    SetConsoleCtrlHandler(on_console_stop, TRUE);
}

bool is_terminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

std::vector<std::string> command_line_utf8(int, char**) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; wide != nullptr && i < count; ++i) {
        args.push_back(path_text(fs::path(wide[i])));
    }
    LocalFree(wide);
    return args;
}

void use_binary_output() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

std::array<unsigned char, 32> sha256(std::span<const std::byte> bytes) {
    // One provider for the program's life: opening one costs more than hashing a small file.
    static const BCRYPT_ALG_HANDLE provider = [] {
        BCRYPT_ALG_HANDLE opened = nullptr;
        if (!BCRYPT_SUCCESS(
                BCryptOpenAlgorithmProvider(&opened, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
            throw std::runtime_error("SHA-256: no provider");
        }
        return opened;
    }();
    std::array<unsigned char, 32> digest{};
    // BCryptHash takes at most 4 GiB - 1 at once, which is as long as an entry may be.
    auto* input = reinterpret_cast<PUCHAR>(const_cast<std::byte*>(bytes.data()));
    const NTSTATUS status = BCryptHash(provider, nullptr, 0, input,
                                       static_cast<ULONG>(bytes.size()), digest.data(),
                                       static_cast<ULONG>(digest.size()));
    if (!BCRYPT_SUCCESS(status)) throw std::runtime_error("SHA-256: BCryptHash failed");
    return digest;
}

#else

namespace {

FileStamp stamp_of_stat(const struct stat& status) {
    return FileStamp{static_cast<std::uint64_t>(status.st_dev),
                     static_cast<std::uint64_t>(status.st_ino),
                     static_cast<std::uint64_t>(status.st_size),
                     static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 +
                         status.st_mtim.tv_nsec};
}

void on_stop_signal(int signal) {
    if (stop_action != nullptr) stop_action();
    std::signal(signal, SIG_DFL);
    std::raise(signal);  // ends as the signal would have ended it
}

}  // namespace

std::expected<FileHandle, std::string> open_for_reading(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::unexpected(std::string(std::strerror(errno)));
    return fd;
}

void close_file(FileHandle file) { ::close(static_cast<int>(file)); }

std::expected<std::size_t, std::string> read_some(FileHandle file, std::span<std::byte> out) {
    const std::size_t ask = std::min<std::size_t>(out.size(), std::size_t{1} << 30);
    for (;;) {
        const ssize_t count = ::read(static_cast<int>(file), out.data(), ask);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) return std::unexpected(std::string(std::strerror(errno)));
        return static_cast<std::size_t>(count);
    }
}

std::expected<FileStamp, std::string> stamp_of_file(FileHandle file) {
    struct stat status {};
    if (::fstat(static_cast<int>(file), &status) != 0) {
        return std::unexpected(std::string(std::strerror(errno)));
    }
    return stamp_of_stat(status);
}

std::expected<FileStamp, std::string> stamp_of_path(const fs::path& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return std::unexpected(std::string(std::strerror(errno)));
    }
    return stamp_of_stat(status);
}

std::FILE* create_for_writing(const fs::path& path) { return std::fopen(path.c_str(), "wb"); }

void remove_in_handler(const fs::path::value_type* path) { unlink(path); }

void on_stop(void (*action)()) {
    stop_action = action;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction handler {};
        handler.sa_handler = on_stop_signal;
        sigemptyset(&handler.sa_mask);
        sigaction(signal, &handler, nullptr);
    }
}

bool is_terminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

std::vector<std::string> command_line_utf8(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

void use_binary_output() {}

std::array<unsigned char, 32> sha256(std::span<const std::byte> bytes) {
    std::array<unsigned char, 32> digest{};
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr) != 1 ||
        length != digest.size()) {
        throw std::runtime_error("SHA-256: EVP_Digest failed");
    }
    return digest;
}

#endif

}  // namespace pelko::packer::host
