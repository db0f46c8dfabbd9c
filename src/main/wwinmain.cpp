// Entry point of pelko-setup.exe: only wiring; the run lives in the portable core.
#include <windows.h>

#include "main/embedded_payload.h"
#include "platform/windows/windows_platform.h"
#include "setup/run_setup.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    pelko::win::restrict_dll_search();

    pelko::win::WindowsPlatform platform;
    return pelko::run_setup(platform, pelko::win::embedded_payload(),
                            pelko::win::embedded_payload_crc32(),
                            pelko::win::embedded_payload_index());
}
