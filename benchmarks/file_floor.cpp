// The floors of the cost of a file: every file of a list written from memory into a fresh
// directory with plain CreateFileW, one WriteFile and CloseHandle (each folder created once,
// before its files), nothing inflated, nothing checked. Four ways, one per run:
//
//   write           one thread
//   write-all       every processor, the files claimed in list order
//   rename          one thread, each file written as its staging file (".new" in place of the
//                   extension) and moved over its name (MoveFileExW, MOVEFILE_REPLACE_EXISTING)
//   rename-all      the same on every processor
//
// The list holds one "relative/name size" line per file ('/' between folders). Prints
// "files_<way>_ms <milliseconds>" ('_' for '-'), the time from the first folder to the last
// close or move.
//
//   file_floor WAY LIST TARGET_DIR
#include <windows.h>

#include "bench_clock.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

struct File {
    std::wstring path;     // the target
    std::wstring staging;  // beside it
    DWORD size;
};

std::wstring staging_of(const std::wstring& path) {
    const std::size_t last = path.find_last_of(L"\\/");
    const std::size_t dot = path.find_last_of(L'.');
    if (dot != std::wstring::npos && dot > last + 1) return path.substr(0, dot) + L".new";
    return path + L".new";
}

bool write_one(const File& file, const std::vector<char>& data, bool rename) {
    const std::wstring& written = rename ? file.staging : file.path;
    const HANDLE handle = CreateFileW(written.c_str(), GENERIC_WRITE, 7, nullptr, CREATE_ALWAYS,
                                      0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    DWORD done = 0;
    const bool ok = WriteFile(handle, data.data(), file.size, &done, nullptr) && done == file.size;
    CloseHandle(handle);
    if (!ok) return false;
    return !rename ||
           MoveFileExW(file.staging.c_str(), file.path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::fputs("usage: file_floor write|write-all|rename|rename-all LIST TARGET_DIR\n", stderr);
        return 2;
    }
    const std::wstring way = argv[1];
    const bool rename = way.starts_with(L"rename");
    const bool all = way.ends_with(L"-all");
    const std::wstring target = argv[3];

    std::FILE* list = _wfopen(argv[2], L"r");
    if (list == nullptr) return 1;
    std::vector<File> files;
    std::vector<std::wstring> folders;  // in the order their first file comes
    std::vector<char> data;
    char name[1024];
    unsigned long size = 0;
    while (std::fscanf(list, "%1023s %lu", name, &size) == 2) {
        std::wstring wide(name, name + std::strlen(name));  // ASCII names
        for (std::size_t slash = wide.find(L'/'); slash != std::wstring::npos;
             slash = wide.find(L'/', slash + 1)) {
            const std::wstring folder = target + L"\\" + wide.substr(0, slash);
            if (folders.empty() || folders.back() != folder) folders.push_back(folder);
        }
        const std::wstring path = target + L"\\" + wide;
        files.push_back({path, staging_of(path), static_cast<DWORD>(size)});
        if (size > data.size()) data.resize(size, 'x');
    }
    std::fclose(list);

    const double start = now_ms();
    CreateDirectoryW(target.c_str(), nullptr);
    for (const std::wstring& folder : folders) CreateDirectoryW(folder.c_str(), nullptr);
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    const auto work = [&] {
        for (std::size_t i = next++; i < files.size(); i = next++) {
            if (!write_one(files[i], data, rename)) failed = true;
        }
    };
    std::vector<std::thread> others(all ? std::max(1u, std::thread::hardware_concurrency()) - 1
                                        : 0);
    for (std::thread& other : others) other = std::thread(work);
    work();
    for (std::thread& other : others) other.join();
    const double end = now_ms();
    if (failed) {
        std::fputs("file_floor: a file could not be written\n", stderr);
        return 1;
    }
    std::wstring key = way;
    for (wchar_t& c : key) {
        if (c == L'-') c = L'_';
    }
    std::printf("files_%ls_ms %.3f\n", key.c_str(), end - start);
    return 0;
}
