// pelko-launch: runs a Windows program with an exact environment, command line and working
// directory, waits for it and exits with its exit code.
//
//   pelko-launch [--set NAME=VALUE]... [--unset NAME]... [--cwd DIR] [--cmdline TEXT]
//                [--timeout SECONDS] [--memory FILE] PROGRAM
//
// Without --cmdline the command line is the program path in double quotes. With --memory the
// program's peak working set and its peak private (anonymous) memory, in bytes, are written to
// FILE, on one line.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "launch.h"

int wmain(int argc, wchar_t** argv) {
    pelko::test::LaunchOptions options;
    DWORD timeout_ms = INFINITE;
    std::wstring memory_file;
    int i = 1;
    for (; i + 1 < argc; i += 2) {
        const std::wstring option = argv[i];
        const std::wstring value = argv[i + 1];
        if (option == L"--set") {
            const std::size_t eq = value.find(L'=');
            if (eq == std::wstring::npos) break;
            options.environment.emplace_back(value.substr(0, eq), value.substr(eq + 1));
        } else if (option == L"--unset") {
            options.environment.emplace_back(value, std::nullopt);
        } else if (option == L"--cwd") {
            options.working_directory = value;
        } else if (option == L"--cmdline") {
            options.command_line = value;
        } else if (option == L"--memory") {
            memory_file = value;
        } else if (option == L"--timeout") {
            timeout_ms = static_cast<DWORD>(std::stoul(value)) * 1000;
        } else {
            break;
        }
    }
    if (i != argc - 1) {
        std::fputs("usage: pelko-launch [--set N=V] [--unset N] [--cwd DIR] [--cmdline TEXT] "
                   "[--timeout S] [--memory FILE] PROGRAM\n", stderr);
        return 2;
    }
    options.program = argv[i];
    pelko::test::Process process = pelko::test::start_program(options);
    if (!process.valid()) {
        std::fprintf(stderr, "pelko-launch: cannot start the program (error %lu)\n",
                     GetLastError());
        return 2;
    }
    // With --memory the peak is sampled while the program runs (Wine reports nothing for a
    // process that has ended), and once more after it ended.
    SIZE_T peak = 0;
    SIZE_T peak_private = 0;
    const auto sample = [&] {
        PROCESS_MEMORY_COUNTERS counters{};
        counters.cb = sizeof counters;
        if (GetProcessMemoryInfo(process.handle(), &counters, sizeof counters)) {
            peak = std::max(peak, counters.PeakWorkingSetSize);
            peak_private = std::max(peak_private, counters.PeakPagefileUsage);
        }
    };
    std::optional<DWORD> code;
    if (memory_file.empty()) {
        code = process.wait(timeout_ms);
    } else {
        const ULONGLONG deadline = GetTickCount64() + timeout_ms;
        while (!(code = process.wait(5)) && (timeout_ms == INFINITE || GetTickCount64() < deadline)) {
            sample();
        }
        sample();
    }
    if (!code) {
        std::fputs("pelko-launch: the program did not end in time\n", stderr);
        return 3;
    }
    if (!memory_file.empty()) {
        FILE* out = _wfopen(memory_file.c_str(), L"w");
        if (out == nullptr) {
            std::fputs("pelko-launch: cannot write the peak working set\n", stderr);
            return 2;
        }
        std::fprintf(out, "%llu %llu\n", static_cast<unsigned long long>(peak),
                     static_cast<unsigned long long>(peak_private));
        std::fclose(out);
    }
    return static_cast<int>(*code);
}
