#include "e2e_support.h"

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include "test_paths.h"

namespace pelko::test {

std::vector<LogLine> log_lines(const std::wstring& local_app_data) {
    return testing::parse_log(read_file(local_app_data + L"\\Pelko\\logs\\setup.log"));
}

std::vector<std::string> log_messages(const std::wstring& local_app_data) {
    return testing::log_messages_of(read_file(local_app_data + L"\\Pelko\\logs\\setup.log"));
}

LaunchOptions setup_launch(const std::wstring& arguments,
                        std::vector<std::pair<std::wstring, std::optional<std::wstring>>> env) {
    LaunchOptions launch = launch_of(setup_exe(), arguments);
    launch.environment = std::move(env);
    return launch;
}

std::vector<DWORD> running(const wchar_t* name) {
    std::vector<DWORD> ids;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return ids;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (CompareStringOrdinal(entry.szExeFile, -1, name, -1, TRUE) == CSTR_EQUAL) {
            ids.push_back(entry.th32ProcessID);
        }
    }
    CloseHandle(snapshot);
    return ids;
}

bool app_running() {
    return !running(L"pelko.exe").empty() || !running(L"pelko-guard.exe").empty();
}

void end_app(const std::wstring& install_dir) {
    const std::wstring app = install_dir + L"\\pelko.exe";
    if (file_exists(app) && app_running()) run_program(launch_of(app, L" --quit"), 10000);
    // A guard that was just started may still be starting its app after the quit request (the
    // new copy would not see the request), so nothing may run for half a second in a row; what
    // still runs after the first second of asking is ended.
    int quiet = 0;
    for (int attempt = 0; attempt < 200 && quiet < 10; ++attempt) {
        const auto apps = running(L"pelko.exe");
        const auto guards = running(L"pelko-guard.exe");
        if (apps.empty() && guards.empty()) {
            ++quiet;
        } else {
            quiet = 0;
            if (attempt >= 20) {
                for (const auto& ids : {apps, guards}) {
                    for (const DWORD id : ids) {
                        const HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
                        if (h) {
                            TerminateProcess(h, 99);
                            WaitForSingleObject(h, 2000);
                            CloseHandle(h);
                        }
                    }
                }
            }
        }
        Sleep(50);
    }
}

std::wstring copy_stand_in(const std::wstring& dir, const std::wstring& name) {
    const std::wstring copy = dir + L"\\" + name;
    EXPECT_TRUE(CopyFileW(wine_path(PELKO_STAND_IN).c_str(), copy.c_str(), FALSE))
        << GetLastError();
    return copy;
}

}  // namespace pelko::test
