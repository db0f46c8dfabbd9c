// A stand-in for the app's executables in the process tests, copied under the names the
// installer looks for. It appends its command line as one line to "<its own path>.txt", then:
//   --quit        ends at once, doing nothing else (so running copies do not quit);
//   say           writes "stand-in says hello\n" to its standard output and ends;
//   <number>      lives that many milliseconds;
//   (nothing)     lives 30 seconds.
// It always ends by itself, so a copy that a failed test forgets cannot outlive it by long.
#include <windows.h>

#include <cwchar>
#include <cwctype>
#include <string>

namespace {

void record(const wchar_t* command_line) {
    wchar_t module[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameW(nullptr, module, MAX_PATH * 4);
    if (n == 0 || n >= MAX_PATH * 4) return;
    const std::wstring path = std::wstring(module, n) + L".txt";
    const std::wstring line = std::wstring(command_line) + L"\n";
    char utf8[8192];
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()),
                                          utf8, sizeof utf8, nullptr, nullptr);
    const HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, utf8, static_cast<DWORD>(bytes), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

int main() {
    const wchar_t* line = GetCommandLineW();
    record(line);

    // Skip the program: quoted, or up to the first blank.
    const wchar_t* p = line;
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"') ++p;
        if (*p) ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t') ++p;
    }
    while (*p == L' ' || *p == L'\t') ++p;

    if (std::wcscmp(p, L"--quit") == 0) return 0;
    if (std::wcscmp(p, L"say") == 0) {
        const char hello[] = "stand-in says hello\n";
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), hello, sizeof hello - 1, &written, nullptr);
        return 0;
    }
    DWORD lifetime = 30000;
    if (std::iswdigit(*p)) lifetime = static_cast<DWORD>(std::wcstoul(p, nullptr, 10));
    Sleep(lifetime);
    return 0;
}
