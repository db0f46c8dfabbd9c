#include "test_paths.h"

#include <windows.h>

#include "platform/windows/wide.h"

namespace pelko::test {

std::wstring wine_path(std::string_view unix_path) {
    std::wstring out = L"Z:";
    for (const char c : unix_path) out.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(c));
    return out;
}

std::wstring build_path(std::string_view relative) {
    std::wstring p = wine_path(PELKO_BUILD_DIR);
    if (!relative.empty()) p += L"\\" + wine_path(relative).substr(2);
    return p;
}

std::wstring setup_exe() { return build_path("pelko-setup.exe"); }

// Walks with the Win32 calls, not std::filesystem: the trees of the long-path tests go deeper
// than MAX_PATH, where MinGW's directory reading (opendir) cuts the names off.
void remove_tree(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring child = path + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                remove_tree(child);
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(path.c_str());
}

std::vector<std::filesystem::path> paths_below(const std::filesystem::path& root) {
    std::vector<std::filesystem::path> found;
    std::vector<std::filesystem::path> folders{root};
    while (!folders.empty()) {
        const std::filesystem::path folder = std::move(folders.back());
        folders.pop_back();
        std::error_code error;
        for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error)) {
            found.push_back(it->path());
            const DWORD attributes = GetFileAttributesW(it->path().c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES &&
                (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                folders.push_back(it->path());
            }
        }
    }
    return found;
}

std::wstring fresh_directory(std::wstring_view name) {
    const std::wstring root = build_path("test-scratch");
    CreateDirectoryW(root.c_str(), nullptr);
    const std::wstring dir = root + L"\\" + std::wstring(name);
    remove_tree(dir);
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
}

void create_directories(const std::wstring& path) {
    for (std::size_t at = path.find(L'\\', 3); at != std::wstring::npos;
         at = path.find(L'\\', at + 1)) {
        CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    }
    CreateDirectoryW(path.c_str(), nullptr);
}

std::string read_file(const std::wstring& path) {
    const HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE |
                                 FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {};
    std::string out;
    char buffer[65536];
    DWORD n = 0;
    while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0) out.append(buffer, n);
    CloseHandle(h);
    return out;
}

bool file_exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool write_file(const std::wstring& path, std::string_view contents) {
    const HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD n = 0;
    const BOOL ok = WriteFile(h, contents.data(), static_cast<DWORD>(contents.size()), &n, nullptr);
    CloseHandle(h);
    return ok && n == contents.size();
}

std::string narrow(std::wstring_view text) { return win::wide_to_text(text); }

OsString os_path(const std::wstring& path) { return win::from_wide(path); }

}  // namespace pelko::test
