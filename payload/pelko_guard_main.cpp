// The demo guard: without arguments it starts pelko.exe from its own folder and ends when that
// ends (or when the quit event is signalled). Any argument (such as --uninstall) ends it at once.
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

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
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
