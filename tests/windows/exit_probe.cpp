// exit-probe SLOW_DLL: ends through the platform's exit_process(7) while its shortcut preload
// thread is stuck, waiting for the loader behind a DLL (SLOW_DLL) whose attach takes a minute.
// Exit code 7 soon after the start when the end does not wait for the preload.
#include <windows.h>

#include "platform/windows/windows_platform.h"

namespace {

DWORD WINAPI load(void* path) {
    LoadLibraryW(static_cast<const wchar_t*>(path));
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    const HANDLE inside = CreateEventW(nullptr, TRUE, FALSE, L"PelkoSlowAttach");
    const HANDLE loader = CreateThread(nullptr, 0, load, argv[1], 0, nullptr);
    if (inside == nullptr || loader == nullptr ||
        WaitForSingleObject(inside, 20000) != WAIT_OBJECT_0) {
        return 3;
    }
    pelko::win::WindowsPlatform os;
    os.preload_shell_link();
    Sleep(200);  // the preload is now waiting for the loader
    os.exit_process(7);
}
