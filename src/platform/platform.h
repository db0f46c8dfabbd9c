#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/os_error.h"
#include "platform/os_string.h"

namespace pelko {

// Reading of the monotonic clock, compared seconds first.
struct MonotonicTime {
    std::uint64_t seconds = 0;
    std::uint32_t nanoseconds = 0;  // below 1,000,000,000
    friend auto operator<=>(const MonotonicTime&, const MonotonicTime&) = default;
};

// An open file of the platform. Value 0 is never a valid handle.
struct FileHandle {
    std::uintptr_t value = 0;
};

// Every operating-system operation the installer performs. The Win32 implementation lives in
// platform/windows; tests use an in-memory fake. Operations are stateless from the caller's view:
// every handle they open is closed before they return, except where a FileHandle is returned.
class Platform {
public:
    virtual ~Platform() = default;

    // ---- process, command line, environment -------------------------------------------------

    // The raw command line of this process (GetCommandLineW).
    virtual std::u16string command_line() = 0;
    // The path of this process's executable file.
    virtual OsString module_file_name() = 0;
    // An environment variable; nothing when it is not set (an empty value counts as set).
    virtual std::optional<OsString> environment_variable(std::string_view name) = 0;
    // Creates the named mutex and keeps it until the process ends. True only when the handle is
    // valid and the name did not exist before.
    virtual bool create_named_mutex(std::string_view name) = 0;
    virtual std::uint32_t current_process_id() = 0;
    // Ends the process at once with the exit code.
    [[noreturn]] virtual void exit_process(std::uint32_t code) = 0;

    // ---- clocks and sleep -------------------------------------------------------------------

    // Wall clock: 100-nanosecond intervals since 1601-01-01 00:00:00 UTC.
    virtual std::uint64_t system_time() = 0;
    virtual MonotonicTime monotonic_time() = 0;
    // Pauses the thread for at least the given time.
    virtual void sleep(std::chrono::milliseconds duration) = 0;

    // ---- directories and files --------------------------------------------------------------

    // Creates one directory (its parent must exist).
    virtual OsResult<void> create_directory(const OsString& path) = 0;
    // True when the path names an existing directory.
    virtual bool is_directory(const OsString& path) = 0;
    // Opens (creating when missing) a file for append-only writing, shared for read, write and
    // delete.
    virtual OsResult<FileHandle> open_for_append(const OsString& path) = 0;
    // One write call of at most 4,294,967,295 bytes; returns how many were written.
    virtual OsResult<std::uint32_t> write_file(FileHandle file, std::span<const std::byte> data) = 0;
    // Closes the handle; the outcome is ignored.
    virtual void close_file(FileHandle file) = 0;

    // ---- user interface and error texts -----------------------------------------------------

    // Shows a message box with no owner window and returns when it is closed.
    virtual void message_box(std::string_view text, std::string_view caption,
                             std::uint32_t style) = 0;
    // The system's message for a message number, from ntdll's table when asked; the error of the
    // formatting call when there is none.
    virtual std::expected<std::u16string, std::uint32_t> system_message(std::uint32_t number,
                                                                        bool from_ntdll) = 0;
};

}  // namespace pelko
