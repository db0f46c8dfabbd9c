// Entry point of pelko-setup.exe: only wiring; the run lives in the portable core.
#include <windows.h>

#include "main/linked_payload.h"
#include "platform/windows/windows_platform.h"
#include "setup/run_setup.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    pelko::win::restrict_dll_search();  // before anything can load a DLL
    pelko::win::WindowsPlatform platform;
    // Ended by the platform, which does not wait for the shortcut's preload thread.
    platform.exit_process(
        static_cast<std::uint32_t>(pelko::run_setup(platform, pelko::win::linked_payload())));
}
