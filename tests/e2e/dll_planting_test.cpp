// DLL planting: a DLL of this project's own, copied beside pelko-setup.exe under the name of a
// system DLL that the installer loads by name while it runs, is never loaded: the installer
// restricts the DLL search to the system directory first thing. Wine loads its builtin DLL for
// such a name even when a DLL of that name lies in the application's folder, unless told to
// prefer "native" DLLs; so the tests set that preference for the two programs involved
// (HKCU\Software\Wine\AppDefaults\<exe>\DllOverrides, read by Wine when a process starts),
// which makes Wine search as Windows does for a DLL that is not a known DLL. The probe shows
// that a planted DLL is then loaded when the search is not restricted.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <iostream>

#include "expected.h"
#include "e2e_support.h"
#include "launch.h"
#include "test_paths.h"

namespace pelko {
namespace {

// System DLLs that pelko-setup.exe does not import but that Wine loads into it by name after
// wWinMain has begun (WINEDEBUG=+loaddll lists them after the imports): uxtheme for windows (the
// message box, COM's apartment window), shell32 as the server of the Shell link object, and
// shlwapi and shcore, which shell32 imports. (imm32 is loaded by user32 while the process
// starts, before any code of the installer runs, so no search restriction of the installer can
// cover it; Windows loads it as a known DLL from the system folder only.)
const wchar_t* const kBoxNames[] = {L"uxtheme.dll"};
const wchar_t* const kPlantedNames[] = {L"uxtheme.dll", L"shell32.dll", L"shlwapi.dll",
                                        L"shcore.dll"};

// Wine prefers a DLL found by the search ("native") for these names in the programs named,
// for as long as the object lives.
class PreferNative {
public:
    PreferNative() {
        for (const wchar_t* exe : kPrograms) {
            const std::wstring key = std::wstring(kAppDefaults) + exe + L"\\DllOverrides";
            for (const wchar_t* dll : kPlantedNames) {
                const std::wstring name(dll, std::wstring_view(dll).rfind(L'.'));
                const wchar_t value[] = L"native,builtin";
                EXPECT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), REG_SZ,
                                          value, sizeof value),
                          ERROR_SUCCESS);
            }
        }
    }
    ~PreferNative() {
        for (const wchar_t* exe : kPrograms) {
            RegDeleteTreeW(HKEY_CURRENT_USER, (std::wstring(kAppDefaults) + exe).c_str());
        }
    }
    PreferNative(const PreferNative&) = delete;
    PreferNative& operator=(const PreferNative&) = delete;

private:
    static constexpr const wchar_t* kAppDefaults = L"Software\\Wine\\AppDefaults\\";
    static constexpr const wchar_t* kPrograms[] = {L"pelko-setup.exe", L"dll-probe.exe"};
};

struct Planted {
    std::wstring dir;
    std::wstring dll;  // the planted copy
    bool loaded() const { return test::file_exists(dir + L"\\" + dll + L".loaded"); }
};

Planted plant(const std::wstring& folder, const std::wstring& dll) {
    Planted p{test::fresh_directory(folder), dll};
    EXPECT_TRUE(CopyFileW(test::wine_path(PELKO_PLANTED_DLL).c_str(), (p.dir + L"\\" + dll).c_str(),
                          FALSE));
    return p;
}

std::optional<DWORD> probe(const Planted& p, const wchar_t* mode) {
    const std::wstring exe = p.dir + L"\\dll-probe.exe";
    CopyFileW(test::wine_path(PELKO_DLL_PROBE).c_str(), exe.c_str(), FALSE);
    return test::run_program(test::launch_of(exe, L" " + p.dll + L" " + mode), 60000);
}

// The modules of a running process whose file name is `dll`, by full path.
std::vector<std::wstring> modules_named(DWORD process_id, const std::wstring& dll) {
    std::vector<std::wstring> paths;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, process_id);
    if (snapshot == INVALID_HANDLE_VALUE) return paths;
    MODULEENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Module32FirstW(snapshot, &entry); more;
         more = Module32NextW(snapshot, &entry)) {
        if (CompareStringOrdinal(entry.szModule, -1, dll.c_str(), -1, TRUE) == CSTR_EQUAL) {
            paths.push_back(entry.szExePath);
        }
    }
    CloseHandle(snapshot);
    return paths;
}

TEST(DllPlanting, TheProbeShowsWineWouldLoadAPlantedDllWithoutTheRestriction) {
    const PreferNative prefer_native;
    for (const wchar_t* dll : kPlantedNames) {
        const Planted open = plant(L"e2e-plant-open", dll);
        // The planted DLL's own code ran in the probe.
        EXPECT_EQ(probe(open, L"open"), 0u) << test::narrow(dll);
        EXPECT_TRUE(open.loaded()) << test::narrow(dll);

        const Planted restricted = plant(L"e2e-plant-restricted", dll);
        EXPECT_EQ(probe(restricted, L"restricted"), 1u) << test::narrow(dll);
        EXPECT_FALSE(restricted.loaded()) << test::narrow(dll);
    }
}

TEST(DllPlanting, TheInstallerLoadsTheSystemCopyWhileItsBoxIsShown) {
    const PreferNative prefer_native;
    for (const wchar_t* dll : kBoxNames) {
        const Planted p = plant(L"e2e-plant-box", dll);
        const std::wstring exe = p.dir + L"\\pelko-setup.exe";
        ASSERT_TRUE(CopyFileW(test::setup_exe().c_str(), exe.c_str(), FALSE));
        test::LaunchOptions launch;
        launch.program = exe;
        launch.environment = {{L"LOCALAPPDATA", std::nullopt}};
        test::Process setup = test::start_program(launch);
        ASSERT_TRUE(setup.valid());
        // While the failure box is up: the DLL of that name is loaded, from the system folder.
        ASSERT_TRUE(test::shows_window(setup.id(), 30000));
        const std::vector<std::wstring> paths = modules_named(setup.id(), dll);
        ASSERT_EQ(paths.size(), 1u) << test::narrow(dll) << " is not loaded by the installer";
        std::cout << "  " << test::narrow(dll) << " loaded from " << test::narrow(paths[0]) << "\n";
        std::wstring lower = paths[0];
        CharLowerW(lower.data());
        EXPECT_NE(lower.find(L"\\windows\\system32\\"), std::wstring::npos)
            << test::narrow(paths[0]);
        const auto text = test::take_message_box(setup.id(), L"Pelko Setup", 30000);
        ASSERT_TRUE(text.has_value());
        EXPECT_EQ(setup.wait(30000), 1u);
        EXPECT_FALSE(p.loaded()) << test::narrow(dll);
    }
}

TEST(DllPlanting, AWholeInstallNeverLoadsThePlantedDlls) {
    const PreferNative prefer_native;
    const std::wstring dir = test::fresh_directory(L"e2e-plant-install");
    for (const wchar_t* dll : kPlantedNames) {
        ASSERT_TRUE(CopyFileW(test::wine_path(PELKO_PLANTED_DLL).c_str(),
                              (dir + L"\\" + dll).c_str(), FALSE));
    }
    const std::wstring exe = dir + L"\\pelko-setup.exe";
    ASSERT_TRUE(CopyFileW(test::setup_exe().c_str(), exe.c_str(), FALSE));
    const std::wstring local = dir + L"\\Local";
    test::create_directories(local + L"\\..\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs");
    test::LaunchOptions launch = test::launch_of(exe, L" --update");
    launch.environment = {{L"LOCALAPPDATA", local},
                          {L"APPDATA", dir + L"\\Roaming"}};
    EXPECT_EQ(test::run_program(launch, 120000), 0u);
    test::end_app(local + L"\\Programs\\Pelko");
    EXPECT_EQ(test::log_messages(local).back(),
              testing::success_line(testing::install_dir_of(test::narrow(local))));
    EXPECT_TRUE(test::file_exists(dir + L"\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Pelko.lnk"));
    for (const wchar_t* dll : kPlantedNames) {
        EXPECT_FALSE(test::file_exists(dir + L"\\" + dll + L".loaded")) << test::narrow(dll);
    }
}

}  // namespace
}  // namespace pelko
