#include <windows.h>

#include "platform/windows/unique_resource.h"
#include "platform/windows/wide.h"
#include "platform/windows/win32_error.h"
#include "platform/windows/windows_platform.h"

namespace pelko::win {
namespace {

HANDLE to_handle(FileHandle file) { return reinterpret_cast<HANDLE>(file.value); }
FileHandle from_handle(HANDLE h) { return FileHandle{reinterpret_cast<std::uintptr_t>(h)}; }

// FILE_GENERIC_WRITE without FILE_WRITE_DATA: every write lands at the end of the file.
constexpr DWORD kAppendOnlyAccess = 0x00120114;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

OsResult<void> WindowsPlatform::create_directory(const OsString& path) {
    const OsResult<std::wstring> p = file_path(path);
    if (!p) return std::unexpected(p.error());
    if (!CreateDirectoryW(p->c_str(), nullptr)) return last_error();
    return {};
}

bool WindowsPlatform::is_directory(const OsString& path) {
    const OsResult<std::wstring> p = file_path(path);
    if (!p) return false;
    const DWORD attributes = GetFileAttributesW(p->c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

OsResult<FileHandle> WindowsPlatform::open_for_append(const OsString& path) {
    const OsResult<std::wstring> p = file_path(path);
    if (!p) return std::unexpected(p.error());
    const HANDLE h = CreateFileW(p->c_str(), kAppendOnlyAccess, kShareAll, nullptr, OPEN_ALWAYS,
                                 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return last_error();
    return from_handle(h);
}

OsResult<std::uint32_t> WindowsPlatform::write_file(FileHandle file,
                                                    std::span<const std::byte> data) {
    const DWORD length = data.size() > MAXDWORD ? MAXDWORD : static_cast<DWORD>(data.size());
    DWORD written = 0;
    if (!WriteFile(to_handle(file), data.data(), length, &written, nullptr)) return last_error();
    return written;
}

void WindowsPlatform::close_file(FileHandle file) { CloseHandle(to_handle(file)); }

}  // namespace pelko::win
