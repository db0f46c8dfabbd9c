// Processes on Win32: the Toolhelp snapshot, another process's command line, the existence test
// and the start of a program.
#include <windows.h>

#include <tlhelp32.h>

#include <array>
#include <cstddef>
#include <cwchar>
#include <span>
#include <vector>

#include "platform/command_line_query.h"
#include "platform/windows/unique_resource.h"
#include "platform/windows/wide.h"
#include "platform/windows/win32_error.h"
#include "platform/windows/windows_platform.h"

namespace pelko::win {
namespace {

static_assert(sizeof(PROCESSENTRY32W) == 568);
static_assert(sizeof(STARTUPINFOW) == 104);

// The counted string the command-line query answers with, as the portable reader expects it.
struct SystemCountedString {
    USHORT Length;
    USHORT MaximumLength;
    PWSTR Buffer;
};
static_assert(sizeof(SystemCountedString) == sizeof(CountedUtf16));
static_assert(offsetof(SystemCountedString, Buffer) == offsetof(CountedUtf16, characters));

constexpr ULONG kProcessCommandLineInformation = 60;
using NtQueryInformationProcessFn = LONG(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);

NtQueryInformationProcessFn query_information_process() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (!ntdll) return nullptr;
    const FARPROC found = GetProcAddress(ntdll, "NtQueryInformationProcess");
    // Through the generic function type, which converts to any other without a warning.
    return reinterpret_cast<NtQueryInformationProcessFn>(reinterpret_cast<void (*)()>(found));
}

bool is_valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }

// The one form of program path that is started: it holds a directory separator and ends in
// ".exe" (ASCII case ignored). It goes to CreateProcessW unchanged as the application name, so
// nothing is searched: not the installer's directory, the current directory or PATH.
bool is_program_path(const OsString& program) {
    const std::string& bytes = program.wtf8();
    if (bytes.find_first_of("\\/") == std::string::npos || bytes.size() < 4) return false;
    const std::string_view tail = std::string_view(bytes).substr(bytes.size() - 4);
    return tail[0] == '.' && (tail[1] | 0x20) == 'e' && (tail[2] | 0x20) == 'x' &&
           (tail[3] | 0x20) == 'e';
}

}  // namespace

std::vector<ProcessRecord> WindowsPlatform::process_snapshot() {
    std::vector<ProcessRecord> records;
    const UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return records;

    // One record reused for every process; its name field is cleared once, before the first call.
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        const std::size_t length = wcsnlen(entry.szExeFile, std::size(entry.szExeFile));
        records.push_back(
            ProcessRecord{entry.th32ProcessID, wide_to_text({entry.szExeFile, length})});
    }
    return records;
}

std::optional<std::string> WindowsPlatform::process_command_line(std::uint32_t process_id) {
    const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id));
    if (!process) return std::nullopt;
    const NtQueryInformationProcessFn query = query_information_process();
    if (!query) return std::nullopt;

    // Size probe: only the length counts, whatever the status.
    ULONG length = 0;
    query(process.get(), kProcessCommandLineInformation, nullptr, 0, &length);
    const std::optional<std::size_t> size = command_line_buffer_size(length);
    if (!size) return std::nullopt;

    // 8-byte elements keep the buffer aligned for the descriptor at its head.
    std::vector<std::uint64_t> buffer(*size / 8);
    const LONG status = query(process.get(), kProcessCommandLineInformation, buffer.data(),
                              static_cast<ULONG>(*size), &length);
    if (status < 0) return std::nullopt;
    return command_line_from_buffer(std::as_bytes(std::span(buffer)));
}

bool WindowsPlatform::path_exists(const OsString& path) {
    if (path.empty()) return false;
    const OsResult<std::wstring> wide = file_path(path);
    if (!wide) return false;

    // Opening with no access right reads metadata only; without FILE_FLAG_OPEN_REPARSE_POINT the
    // open follows links, and backup semantics lets it open directories.
    const UniqueHandle file(CreateFileW(wide->c_str(), 0,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                        nullptr));
    if (file) {
        BY_HANDLE_FILE_INFORMATION info;
        return GetFileInformationByHandle(file.get(), &info) != 0;
    }
    // A file held open without sharing (a page file, for one) cannot be opened even so; its
    // directory entry still tells that it exists. Wildcards must not turn this into a search, and
    // a link found this way says nothing about its target.
    if (GetLastError() != ERROR_SHARING_VIOLATION) return false;
    const std::wstring_view name = std::wstring_view(*wide).substr(
        wide->starts_with(L"\\\\?\\") ? 4 : 0);
    if (name.find_first_of(L"*?") != std::wstring_view::npos) return false;
    WIN32_FIND_DATAW data;
    const UniqueFind find(FindFirstFileExW(wide->c_str(), FindExInfoBasic, &data,
                                           FindExSearchNameMatch, nullptr, 0));
    if (!find) return false;
    return (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

OsResult<void> WindowsPlatform::run_program(const OsString& program, const OsString& command_line,
                                            ProgramWait wait) {
    const OsResult<std::wstring> application = to_wide_checked(program);
    if (!application) return std::unexpected(application.error());
    OsResult<std::wstring> arguments = to_wide_checked(command_line);
    if (!arguments) return std::unexpected(arguments.error());
    if (!is_program_path(program)) return std::unexpected(win32_error(ERROR_FILE_NOT_FOUND));

    // Inheritable duplicates of this process's standard handles, where it has them.
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::array<UniqueHandle, 3> duplicates;
    const std::array<DWORD, 3> which{STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    bool any = false;
    for (std::size_t i = 0; i < which.size(); ++i) {
        const HANDLE own = GetStdHandle(which[i]);
        if (!is_valid(own)) continue;
        HANDLE copy = nullptr;
        if (!DuplicateHandle(GetCurrentProcess(), own, GetCurrentProcess(), &copy, 0, TRUE,
                             DUPLICATE_SAME_ACCESS)) {
            return std::unexpected(win32_error(GetLastError()));
        }
        duplicates[i].reset(copy);
        any = true;
    }
    if (any) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = duplicates[0].get();
        startup.hStdOutput = duplicates[1].get();
        startup.hStdError = duplicates[2].get();
    }

    arguments->push_back(L'\0');  // a writable, NUL-terminated buffer
    PROCESS_INFORMATION info{};
    const BOOL started = CreateProcessW(application->c_str(), arguments->data(), nullptr, nullptr,
                                        TRUE, CREATE_UNICODE_ENVIRONMENT, nullptr, nullptr,
                                        &startup, &info);
    const DWORD error = GetLastError();
    for (UniqueHandle& duplicate : duplicates) duplicate.reset();
    if (!started) return std::unexpected(win32_error(error));

    const UniqueHandle process(info.hProcess);
    const UniqueHandle thread(info.hThread);
    if (wait == ProgramWait::until_exit &&
        WaitForSingleObject(process.get(), INFINITE) == WAIT_OBJECT_0) {
        DWORD exit_code = 0;
        GetExitCodeProcess(process.get(), &exit_code);  // not used
    }
    return {};
}

}  // namespace pelko::win
