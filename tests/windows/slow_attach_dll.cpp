// A DLL whose load never seems to end: its attach signals the event "PelkoSlowAttach" and then
// sleeps for a minute inside the loader, so that any other thread that loads a library meanwhile
// waits for it.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        const HANDLE inside = OpenEventW(EVENT_MODIFY_STATE, FALSE, L"PelkoSlowAttach");
        if (inside != nullptr) {
            SetEvent(inside);
            CloseHandle(inside);
        }
        Sleep(60000);
    }
    return TRUE;
}
