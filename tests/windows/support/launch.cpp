#include "launch.h"

#include <shellapi.h>

#include <algorithm>
#include <map>

namespace pelko::test {
namespace {

struct NoCase {
    bool operator()(const std::wstring& a, const std::wstring& b) const {
        return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                    static_cast<int>(b.size()), TRUE) == CSTR_LESS_THAN;
    }
};

struct WindowSearch {
    DWORD process_id;
    const std::wstring* caption;
    HWND found = nullptr;
};

BOOL CALLBACK find_window(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != search->process_id || !IsWindowVisible(hwnd)) return TRUE;
    if (search->caption) {
        wchar_t title[256] = {};
        GetWindowTextW(hwnd, title, 256);
        if (*search->caption != title) return TRUE;
    }
    search->found = hwnd;
    return FALSE;
}

BOOL CALLBACK find_static_text(HWND hwnd, LPARAM param) {
    wchar_t class_name[64] = {};
    GetClassNameW(hwnd, class_name, 64);
    if (CompareStringOrdinal(class_name, -1, L"Static", -1, TRUE) != CSTR_EQUAL) return TRUE;
    const int length = GetWindowTextLengthW(hwnd);
    if (length <= 0) return TRUE;
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(length));
    *reinterpret_cast<std::optional<std::wstring>*>(param) = text;
    return FALSE;
}

HWND wait_for_window(DWORD process_id, const std::wstring* caption, DWORD timeout_ms) {
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    do {
        WindowSearch search{process_id, caption};
        EnumWindows(find_window, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
        Sleep(50);
    } while (GetTickCount64() < deadline);
    return nullptr;
}

}  // namespace

Process::Process(Process&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), id_(other.id_) {}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        terminate();
        if (handle_) CloseHandle(handle_);
        handle_ = std::exchange(other.handle_, nullptr);
        id_ = other.id_;
    }
    return *this;
}

Process::~Process() {
    terminate();
    if (handle_) CloseHandle(handle_);
}

std::optional<DWORD> Process::wait(DWORD timeout_ms) {
    if (!handle_ || WaitForSingleObject(handle_, timeout_ms) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(handle_, &code);
    return code;
}

void Process::terminate() {
    if (handle_ && WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT) {
        TerminateProcess(handle_, 99);
        WaitForSingleObject(handle_, 5000);
    }
}

LaunchOptions launch_of(const std::wstring& program, const std::wstring& arguments) {
    LaunchOptions launch;
    launch.program = program;
    launch.command_line = L"\"" + program + L"\"" + arguments;
    return launch;
}

LaunchOptions this_program(const std::wstring& arguments) {
    std::wstring self(32768, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    return launch_of(self, arguments);
}

std::optional<std::vector<std::wstring>> child_arguments(std::wstring_view flag) {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::optional<std::vector<std::wstring>> found;
    if (arguments && count >= 2 && flag == arguments[1]) {
        found.emplace(arguments + 2, arguments + count);
    }
    if (arguments) LocalFree(arguments);
    return found;
}

std::wstring environment_block(
    const std::vector<std::pair<std::wstring, std::optional<std::wstring>>>& changes) {
    std::map<std::wstring, std::wstring, NoCase> variables;
    wchar_t* strings = GetEnvironmentStringsW();
    for (const wchar_t* p = strings; *p; p += wcslen(p) + 1) {
        const std::wstring entry = p;
        const std::size_t eq = entry.find(L'=', 1);  // "=C:=C:\x" entries start with '='
        if (eq == std::wstring::npos) continue;
        variables[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    FreeEnvironmentStringsW(strings);
    for (const auto& [name, value] : changes) {
        if (value) {
            variables[name] = *value;
        } else {
            variables.erase(name);
        }
    }
    std::wstring block;
    for (const auto& [name, value] : variables) {
        block += name;
        block += L'=';
        block += value;
        block += L'\0';
    }
    block += L'\0';
    return block;
}

Process start_program(const LaunchOptions& options) {
    std::wstring command_line = options.command_line.value_or(L"\"" + options.program + L"\"");
    std::wstring environment = environment_block(options.environment);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(options.program.c_str(), command_line.data(), nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT, environment.data(),
                        options.working_directory ? options.working_directory->c_str() : nullptr,
                        &startup, &info)) {
        return {};
    }
    CloseHandle(info.hThread);
    return Process(info.hProcess, info.dwProcessId);
}

std::optional<DWORD> run_program(const LaunchOptions& options, DWORD timeout_ms) {
    Process process = start_program(options);
    return process.wait(timeout_ms);
}

std::optional<std::wstring> take_message_box(DWORD process_id, const std::wstring& caption,
                                             DWORD timeout_ms) {
    const HWND box = wait_for_window(process_id, &caption, timeout_ms);
    if (!box) return std::nullopt;
    std::optional<std::wstring> text;
    for (int attempt = 0; attempt < 40 && !text; ++attempt) {
        EnumChildWindows(box, find_static_text, reinterpret_cast<LPARAM>(&text));
        if (!text) Sleep(50);
    }
    const HWND ok = GetDlgItem(box, IDOK);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
    return text.value_or(L"");
}

bool shows_window(DWORD process_id, DWORD timeout_ms) {
    return wait_for_window(process_id, nullptr, timeout_ms) != nullptr;
}

}  // namespace pelko::test
