#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/machine.h"
#include "platform/monitor.h"
#include "platform/os_error.h"
#include "platform/os_string.h"
#include "platform/shell_link.h"

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

// One process of a snapshot: its id and its executable file name (no directory).
struct ProcessRecord {
    std::uint32_t id = 0;
    std::string name;  // text: lone surrogates shown as U+FFFD
};

// Whether starting a program waits for it to end.
enum class ProgramWait { no, until_exit };

// Every operating-system operation the installer performs. The Win32 implementation lives in
// platform/windows; tests use an in-memory fake. Operations are stateless from the caller's view:
// every handle they open is closed before they return, except where a FileHandle is returned and
// the preload thread of preload_shell_link, which the platform itself waits for and closes.
// Memory and threads for the payload come from the platform too (Machine).
class Platform : public Machine {
public:
    ~Platform() override = default;

    // ---- process, command line, environment -------------------------------------------------

    // The raw command line of this process (GetCommandLineW).
    virtual std::u16string command_line() = 0;
    // The path of this process's executable file.
    virtual OsString module_file_name() = 0;
    // An environment variable; nothing when it is not set (an empty value counts as set).
    virtual std::optional<OsString> environment_variable(std::string_view name) = 0;
    // Creates the named mutex and keeps it until the process ends. Succeeds only when the handle
    // is valid and the name did not exist before (already_exists when it did).
    virtual OsResult<void> create_named_mutex(std::string_view name) = 0;
    virtual std::uint32_t current_process_id() = 0;
    // Ends the process at once with the exit code, whatever another thread of the platform (the
    // preload of preload_shell_link) is doing.
    [[noreturn]] virtual void exit_process(std::uint32_t code) = 0;
    // What ends the run when memory runs out where no caller can be told (an allocation of the
    // program's own strings and lists, outside allocate()): `action`, run once with the memory
    // the platform set aside for it, must end the process. Before it is set, or when memory runs
    // out again while it runs, the process ends at once with exit code 1. A plain function and
    // a word it is given back, kept by the platform: nothing the caller owns has to outlive it.
    using MemoryAction = void (*)(Platform& os, std::uintptr_t context);
    virtual void on_memory_exhausted(MemoryAction action, std::uintptr_t context) = 0;

    // ---- clocks and sleep -------------------------------------------------------------------

    // Wall clock: 100-nanosecond intervals since 1601-01-01 00:00:00 UTC.
    virtual std::uint64_t system_time() = 0;
    virtual MonotonicTime monotonic_time() = 0;
    // Pauses the thread for at least the given time.
    virtual void sleep(std::chrono::milliseconds duration) = 0;

    // ---- threads, beside Machine::run_concurrently -------------------------------------------

    // The processors this process may run on, at least 1.
    virtual std::uint32_t processor_count() = 0;
    // The monitor's lock: taken (waiting while another thread holds it) and given back.
    virtual void lock(Monitor& monitor) = 0;
    virtual void unlock(Monitor& monitor) = 0;
    // Called with the lock held: gives it back until another thread calls wake_all (or for no
    // reason: a caller waits in a loop on its condition), and takes it again before it returns.
    virtual void wait(Monitor& monitor) = 0;
    // Wakes every thread waiting on the monitor.
    virtual void wake_all(Monitor& monitor) = 0;

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

    // ---- file installation ------------------------------------------------------------------

    // Creates a file for writing (shared for read, write and delete); an existing file is cut to
    // zero bytes and keeps none of its attributes (read-only, hidden, ...). A link (symbolic
    // link, junction) standing at the path is never followed: OsErrorKind::link. A read-only
    // file cannot be opened: access_denied.
    virtual OsResult<FileHandle> create_for_writing(const OsString& path) = 0;
    // Moves a file over its target, replacing it; the target is created when missing. A
    // read-only target is not replaced: access_denied.
    virtual OsResult<void> move_replacing(const OsString& from, const OsString& to) = 0;
    // Deletes a file, read-only or not, or a link (to a file or a folder) itself, never what it
    // leads to. A folder that is no link is not deleted.
    virtual OsResult<void> delete_file(const OsString& path) = 0;
    // Whether the file (a link itself, not followed) carries the read-only attribute.
    virtual OsResult<bool> is_read_only(const OsString& path) = 0;
    // Sets or clears the read-only attribute of a file, keeping its other attributes.
    virtual OsResult<void> set_read_only(const OsString& path, bool read_only) = 0;

    // ---- space ------------------------------------------------------------------------------

    // The bytes the current user may still write on the volume that holds the directory.
    virtual OsResult<std::uint64_t> free_disk_space(const OsString& directory) = 0;
    // The size in bytes of a file (a link's own, not followed).
    virtual OsResult<std::uint64_t> file_size(const OsString& path) = 0;

    // ---- processes --------------------------------------------------------------------------

    // The processes running now, in snapshot order; empty when no snapshot can be taken.
    virtual std::vector<ProcessRecord> process_snapshot() = 0;
    // The command line of another process; nothing when it cannot be read.
    virtual std::optional<std::string> process_command_line(std::uint32_t process_id) = 0;
    // True when the path's metadata can be read, following links (a directory counts).
    virtual bool path_exists(const OsString& path) = 0;
    // Starts a program with a complete command line, inheriting this process's environment,
    // current directory and (duplicated) standard handles; with ProgramWait::until_exit, returns
    // when it has ended. The OS error when it cannot be started.
    virtual OsResult<void> run_program(const OsString& program, const OsString& command_line,
                                       ProgramWait wait) = 0;

    // ---- registry ---------------------------------------------------------------------------

    // Writes one value under HKEY_CURRENT_USER\subkey, creating the subkey when missing.
    virtual OsResult<void> set_registry_value(std::string_view subkey, std::string_view name,
                                              std::uint32_t type,
                                              std::span<const std::byte> data) = 0;

    // ---- the Shell link ----------------------------------------------------------------------

    // Starts making the Shell link object ready (its libraries loaded, COM's first use made) on
    // another thread, while this one goes on; nothing else changes. A hint: save_shell_link
    // waits until that work is over; exit_process does not.
    virtual void preload_shell_link() = 0;
    // Saves the link through the Shell's link object, in a single-threaded COM apartment of the
    // calling thread for the time of the call (closed again when it was opened here): the four
    // properties (the working directory only when it has one) and the save, in this order. The
    // first call that fails ends it; its error is made, with the thread's error information,
    // before anything obtained is released and the apartment is closed.
    virtual std::expected<void, ShortcutError> save_shell_link(const ShellLink& link) = 0;

    // ---- user interface and error texts -----------------------------------------------------

    // Shows a message box with no owner window and returns when it is closed.
    virtual void message_box(std::string_view text, std::string_view caption,
                             std::uint32_t style) = 0;
    // The system's message for a message number, from ntdll's table when asked; the error of the
    // formatting call when there is none.
    virtual OsResult<std::u16string> system_message(std::uint32_t number, bool from_ntdll) = 0;
};

}  // namespace pelko
