// The demo guard: without arguments it starts pelko.exe from its own folder and ends when that
// ends (or when the quit event is signalled). Any argument (such as --uninstall) ends it at once.
// When PELKO_DEMO_START_LOG names a file, it first appends two lines to it: its command line and
// its current directory, so a test can see how the installer started it.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "quit_event.h"

namespace {

std::wstring own_folder() {
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length);
    const std::size_t cut = path.find_last_of(L"\\/");
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
}

void record_start(const wchar_t* log_path) {
    wchar_t directory[32768];
    const DWORD length = GetCurrentDirectoryW(32768, directory);
    const std::wstring text = std::wstring(GetCommandLineW()) + L"\n" +
                              std::wstring(directory, length < 32768 ? length : 0) + L"\n";
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                          nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), bytes,
                        nullptr, nullptr);
    const HANDLE file = CreateFileW(log_path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t log_path[32768];
    const DWORD log_length = GetEnvironmentVariableW(L"PELKO_DEMO_START_LOG", log_path, 32768);
    if (log_length > 0 && log_length < 32768) record_start(log_path);

    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments != nullptr) LocalFree(arguments);
    if (count > 1) return 0;

    const HANDLE quit = CreateEventW(nullptr, TRUE, FALSE, kQuitEventName);
    const std::wstring app = own_folder() + L"\\pelko.exe";
    std::wstring command_line = L"\"" + app + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(app.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        if (quit != nullptr) CloseHandle(quit);
        return 1;
    }
    CloseHandle(process.hThread);
    const HANDLE waits[] = {process.hProcess, quit};
    WaitForMultipleObjects(quit != nullptr ? 2 : 1, waits, FALSE, INFINITE);
    CloseHandle(process.hProcess);
    if (quit != nullptr) CloseHandle(quit);
    return 0;
}
