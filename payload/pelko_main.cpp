// The demo app: no window; it runs until `pelko.exe --quit` signals the quit event.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

#include "quit_event.h"

namespace {

bool has_argument(const wchar_t* command_line, const wchar_t* argument) {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(command_line, &count);
    if (arguments == nullptr) return false;
    bool found = false;
    for (int i = 1; i < count; ++i) found = found || std::wcscmp(arguments[i], argument) == 0;
    LocalFree(arguments);
    return found;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    if (has_argument(GetCommandLineW(), L"--quit")) {
        // Wake every running copy; with no copy running there is no event and nothing to do.
        const HANDLE quit = OpenEventW(EVENT_MODIFY_STATE, FALSE, kQuitEventName);
        if (quit != nullptr) {
            SetEvent(quit);
            CloseHandle(quit);
        }
        return 0;
    }
    const HANDLE quit = CreateEventW(nullptr, TRUE, FALSE, kQuitEventName);
    if (quit == nullptr) return 1;
    // A signal meant for copies that have ended since must not end this one.
    if (GetLastError() == ERROR_ALREADY_EXISTS) ResetEvent(quit);
    WaitForSingleObject(quit, INFINITE);
    CloseHandle(quit);
    return 0;
}
