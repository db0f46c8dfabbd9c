// pelko-launch: runs a Windows program with an exact environment, command line and working
// directory, waits for it and exits with its exit code.
//
//   pelko-launch [--set NAME=VALUE]... [--unset NAME]... [--cwd DIR] [--cmdline TEXT]
//                [--timeout SECONDS] PROGRAM
//
// Without --cmdline the command line is the program path in double quotes.
#include <windows.h>

#include <cstdio>
#include <string>

#include "launch.h"

int wmain(int argc, wchar_t** argv) {
    pelko::test::LaunchSpec spec;
    DWORD timeout_ms = INFINITE;
    int i = 1;
    for (; i + 1 < argc; i += 2) {
        const std::wstring option = argv[i];
        const std::wstring value = argv[i + 1];
        if (option == L"--set") {
            const std::size_t eq = value.find(L'=');
            if (eq == std::wstring::npos) break;
            spec.environment.emplace_back(value.substr(0, eq), value.substr(eq + 1));
        } else if (option == L"--unset") {
            spec.environment.emplace_back(value, std::nullopt);
        } else if (option == L"--cwd") {
            spec.working_directory = value;
        } else if (option == L"--cmdline") {
            spec.command_line = value;
        } else if (option == L"--timeout") {
            timeout_ms = static_cast<DWORD>(std::stoul(value)) * 1000;
        } else {
            break;
        }
    }
    if (i != argc - 1) {
        std::fputs("usage: pelko-launch [--set N=V] [--unset N] [--cwd DIR] [--cmdline TEXT] "
                   "[--timeout S] PROGRAM\n", stderr);
        return 2;
    }
    spec.program = argv[i];
    pelko::test::Process process = pelko::test::start_program(spec);
    if (!process.valid()) {
        std::fprintf(stderr, "pelko-launch: cannot start the program (error %lu)\n",
                     GetLastError());
        return 2;
    }
    const std::optional<DWORD> code = process.wait(timeout_ms);
    if (!code) {
        std::fputs("pelko-launch: the program did not end in time\n", stderr);
        return 3;
    }
    return static_cast<int>(*code);
}
