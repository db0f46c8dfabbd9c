// Entry point of pelko-setup.exe: only wiring; the run lives in the portable core.
#include <windows.h>

#include "platform/windows/embedded_payload.h"
#include "platform/windows/windows_platform.h"
#include "setup/run_setup.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Before anything can load a DLL: only the system directory is searched, so a DLL planted
    // beside the installer (a Downloads folder) is never loaded.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

    pelko::win::WindowsPlatform platform;
    return pelko::run_setup(platform, pelko::win::embedded_payload(),
                            pelko::win::embedded_payload_crc32(),
                            pelko::win::embedded_payload_index());
}
