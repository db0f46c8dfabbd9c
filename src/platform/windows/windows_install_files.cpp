// File installation on Win32: the staging file, the replacing move and the delete, each with the
// fallback Windows needs when a plain call is refused.
#include <windows.h>

#include <cstddef>
#include <vector>

#include "platform/windows/unique_resource.h"
#include "platform/windows/wide.h"
#include "platform/windows/win32_error.h"
#include "platform/windows/windows_platform.h"

namespace pelko::win {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// Information classes of Windows 10 1607, declared by the headers only for newer targets.
constexpr auto kFileDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
constexpr auto kFileRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
// "The create operation stopped after reaching a symbolic link."
constexpr DWORD kErrorStoppedOnSymlink = 681;

std::unexpected<OsError> error(DWORD code) { return std::unexpected(win32_error(code)); }

// Renames the open file to `target` with POSIX semantics, replacing what is there.
bool rename_by_handle(HANDLE file, const std::wstring& target) {
    const DWORD name_bytes = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    const std::size_t size = offsetof(FILE_RENAME_INFO, FileName) + name_bytes + sizeof(wchar_t);
    // Allocated as whole structures so the buffer is aligned for FILE_RENAME_INFO.
    std::vector<FILE_RENAME_INFO> buffer(size / sizeof(FILE_RENAME_INFO) + 1);
    auto* info = buffer.data();
    info->Flags = FILE_RENAME_FLAG_REPLACE_IF_EXISTS | FILE_RENAME_FLAG_POSIX_SEMANTICS;
    info->RootDirectory = nullptr;
    info->FileNameLength = name_bytes;
    std::copy(target.c_str(), target.c_str() + target.size() + 1, info->FileName);
    return SetFileInformationByHandle(file, kFileRenameInfoEx, info, static_cast<DWORD>(size)) != 0;
}

}  // namespace

OsResult<FileHandle> WindowsPlatform::create_for_writing(const OsString& path) {
    const OsResult<std::wstring> p = file_path(path);
    if (!p) return std::unexpected(p.error());
    // A link standing at the path is opened itself, never followed: nothing is ever written
    // through it into a file elsewhere.
    UniqueHandle file(CreateFileW(p->c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, kShareAll,
                                  nullptr, OPEN_ALWAYS, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return error(GetLastError());
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        // A file left by an earlier run. A link is refused; a file is cut to zero bytes and
        // keeps none of its attributes.
        FILE_ATTRIBUTE_TAG_INFO tag{};
        const bool known =
            GetFileInformationByHandleEx(file.get(), FileAttributeTagInfo, &tag, sizeof tag) != 0;
        if (known && (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            return error(kErrorStoppedOnSymlink);
        }
        FILE_ALLOCATION_INFO allocation{};
        if (!SetFileInformationByHandle(file.get(), FileAllocationInfo, &allocation,
                                        sizeof allocation)) {
            FILE_END_OF_FILE_INFO end{};
            if (!SetFileInformationByHandle(file.get(), FileEndOfFileInfo, &end, sizeof end)) {
                const DWORD code = GetLastError();
                return error(code);  // the handle closes here
            }
        }
        constexpr DWORD kPlain = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL;
        if (known && (tag.FileAttributes & ~kPlain) != 0) {
            FILE_BASIC_INFO basic{};  // times of 0 stay as they are
            basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
            SetFileInformationByHandle(file.get(), FileBasicInfo, &basic, sizeof basic);
        }
    }
    return FileHandle{reinterpret_cast<std::uintptr_t>(file.release())};
}

OsResult<void> WindowsPlatform::move_replacing(const OsString& from, const OsString& to) {
    const OsResult<std::wstring> source = file_path(from);
    if (!source) return std::unexpected(source.error());
    const OsResult<std::wstring> target = file_path(to);
    if (!target) return std::unexpected(target.error());
    if (MoveFileExW(source->c_str(), target->c_str(), MOVEFILE_REPLACE_EXISTING)) return {};
    const DWORD code = GetLastError();
    if (code != ERROR_ACCESS_DENIED) return error(code);

    // Refused, for instance because the target is mapped: rename through a handle with POSIX
    // semantics, which replaces a target that is still open.
    UniqueHandle file(CreateFileW(source->c_str(), DELETE, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                                  nullptr));
    if (!file) return error(ERROR_ACCESS_DENIED);
    if (!rename_by_handle(file.get(), *target)) {
        return error(GetLastError() == ERROR_DIR_NOT_EMPTY ? ERROR_DIR_NOT_EMPTY
                                                           : ERROR_ACCESS_DENIED);
    }
    return {};
}

OsResult<void> WindowsPlatform::delete_file(const OsString& path) {
    const OsResult<std::wstring> p = file_path(path);
    if (!p) return std::unexpected(p.error());
    if (DeleteFileW(p->c_str())) return {};
    const DWORD code = GetLastError();
    if (code != ERROR_ACCESS_DENIED) return error(code);

    // Refused (read-only, still open elsewhere, or a link to a folder): mark it for deletion
    // with POSIX semantics, the link itself and not what it leads to. A folder that is no link
    // stays.
    const DWORD attributes = GetFileAttributesW(p->c_str());
    const bool folder =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (folder && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return error(code);
    {
        UniqueHandle file(CreateFileW(
            p->c_str(), DELETE, kShareAll, nullptr, OPEN_EXISTING,
            FILE_FLAG_OPEN_REPARSE_POINT | (folder ? FILE_FLAG_BACKUP_SEMANTICS : 0), nullptr));
        if (!file) return error(code);
        FILE_DISPOSITION_INFO_EX disposition{};
        disposition.Flags = FILE_DISPOSITION_FLAG_DELETE | FILE_DISPOSITION_FLAG_POSIX_SEMANTICS |
                            FILE_DISPOSITION_FLAG_IGNORE_READONLY_ATTRIBUTE;
        if (SetFileInformationByHandle(file.get(), kFileDispositionInfoEx, &disposition,
                                       sizeof disposition)) {
            return {};
        }
    }
    // Systems that do not take that flag: a read-only file loses the attribute first (and gets it
    // back when it cannot be deleted all the same).
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0 ||
        !SetFileAttributesW(p->c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY))) {
        return error(code);
    }
    if (DeleteFileW(p->c_str())) return {};
    SetFileAttributesW(p->c_str(), attributes);
    return error(code);
}

OsResult<bool> WindowsPlatform::is_read_only(const OsString& path) {
    const OsResult<std::wstring> p = file_path(path);
    if (!p) return std::unexpected(p.error());
    const DWORD attributes = GetFileAttributesW(p->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return last_error();
    return (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

OsResult<void> WindowsPlatform::set_read_only(const OsString& path, bool read_only) {
    const OsResult<std::wstring> p = file_path(path);
    if (!p) return std::unexpected(p.error());
    const DWORD attributes = GetFileAttributesW(p->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return last_error();
    DWORD changed = read_only ? attributes | FILE_ATTRIBUTE_READONLY
                              : attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    if (changed == 0) changed = FILE_ATTRIBUTE_NORMAL;
    if (!SetFileAttributesW(p->c_str(), changed)) return last_error();
    return {};
}

}  // namespace pelko::win
