#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pelko::test {

// How to start a program: by full path, with an exact command line, environment and directory.
// Wine sets LOCALAPPDATA and APPDATA for every process it starts itself; a block built here is
// passed as it is.
struct LaunchOptions {
    std::wstring program;
    std::optional<std::wstring> command_line;  // default: the program path in quotes
    // Changes to this process's environment: a value sets the variable, nothing removes it.
    std::vector<std::pair<std::wstring, std::optional<std::wstring>>> environment;
    std::optional<std::wstring> working_directory;
};

// A started process; terminated (if still running) and closed when dropped.
class Process {
public:
    Process() = default;
    Process(HANDLE process, DWORD id) : handle_(process), id_(id) {}
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    ~Process();

    bool valid() const { return handle_ != nullptr; }
    DWORD id() const { return id_; }
    HANDLE handle() const { return handle_; }
    // The exit code, or nothing when the process still runs after the timeout.
    std::optional<DWORD> wait(DWORD timeout_ms);
    void terminate();

private:
    HANDLE handle_ = nullptr;
    DWORD id_ = 0;
};

// How to start the program with the command line "\"{program}\"{arguments}": the arguments start
// with their blank (L" --update").
LaunchOptions launch_of(const std::wstring& program, const std::wstring& arguments = {});
// This test program itself with the arguments, to run it again as a child.
LaunchOptions this_program(const std::wstring& arguments);
// The arguments after the program when this program was started with `flag` first (as a child,
// through this_program); nothing otherwise.
std::optional<std::vector<std::wstring>> child_arguments(std::wstring_view flag);

// The environment block for CreateProcessW: this process's variables with the changes applied,
// sorted by name without regard to case.
std::wstring environment_block(
    const std::vector<std::pair<std::wstring, std::optional<std::wstring>>>& changes);

// Starts the program; an invalid Process when CreateProcessW fails (GetLastError tells why).
Process start_program(const LaunchOptions& options);

// Starts the program and waits; nothing when it could not be started or did not end in time
// (it is then terminated).
std::optional<DWORD> run_program(const LaunchOptions& options, DWORD timeout_ms = 120000);

// Waits for a top-level window of the process with the caption, returns the text of its message
// (the non-empty static control) and presses OK. Nothing when no such window appears in time.
std::optional<std::wstring> take_message_box(DWORD process_id, const std::wstring& caption,
                                             DWORD timeout_ms);

// True when any top-level window of the process becomes visible within the time.
bool shows_window(DWORD process_id, DWORD timeout_ms);

}  // namespace pelko::test
