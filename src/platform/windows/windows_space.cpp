// Space on a volume: what may still be written, and what a file takes of it.
#include <windows.h>

#include "platform/windows/wide.h"
#include "platform/windows/win32_error.h"
#include "platform/windows/windows_platform.h"

namespace pelko::win {

OsResult<std::uint64_t> WindowsPlatform::free_disk_space(const OsString& directory) {
    OsResult<std::wstring> p = file_path(directory);
    if (!p) return std::unexpected(p.error());
    // A share's root is only taken with its trailing separator.
    if (!p->empty() && p->back() != L'\\' && p->back() != L'/') p->push_back(L'\\');
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(p->c_str(), &available, nullptr, nullptr)) return last_error();
    return available.QuadPart;
}

OsResult<std::uint64_t> WindowsPlatform::file_size(const OsString& path) {
    const OsResult<std::wstring> p = file_path(path);
    if (!p) return std::unexpected(p.error());
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(p->c_str(), GetFileExInfoStandard, &data)) return last_error();
    return (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

}  // namespace pelko::win
