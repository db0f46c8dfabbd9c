#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "expected.h"
#include "platform/platform.h"
#include "setup_run.h"

namespace pelko::testing {

// A failure a test injects through `fail_with`: the code, of the kind the Win32 layer gives it.
inline OsError injected_error(std::uint32_t code) { return os_error_of(code); }

// An in-memory Windows: a file system (paths compared without regard to ASCII case, '/' and '\'
// alike), environment, clocks that only move when slept, and a record of every call made (for
// the few tests of a cost or of an order the product must keep). Failures are injected through
// `fail_with`, which also lets a test look at the state when a call is made. Safe to call from
// several threads: one lock around its state, under which `fail_with` and `on_sleep` run too.
class FakePlatform : public Platform {
public:
    FakePlatform();

    // ---- state a test arranges and inspects
    std::u16string raw_command_line = u"\"C:\\Downloads\\pelko-setup.exe\"";
    OsString module_path = OsString::from_utf8("C:\\Downloads\\pelko-setup.exe");
    std::map<std::string, OsString> environment;
    std::set<std::string> mutexes;
    std::uint32_t process_id = 4242;
    std::uint64_t wall_clock = 134'000'000'000'000'000ULL;
    MonotonicTime monotonic{1000, 0};
    std::map<std::string, std::string> files;  // key: normalized path; value: contents
    std::set<std::string> directories;         // normalized paths; delete_file leaves them
    // Files carrying the read-only attribute (normalized paths): not opened for writing nor
    // replaced by a move (ERROR_ACCESS_DENIED); delete_file removes them all the same.
    std::set<std::string> read_only;
    // Links (normalized path -> the normalized path they lead to): create_for_writing never
    // follows one (ERROR_STOPPED_ON_SYMLINK); delete_file and a move over it take the link;
    // path_exists follows it.
    std::map<std::string, std::string> links;
    // The volume's size in bytes, against which every file counts: a write that does not fit
    // fails with ERROR_DISK_FULL, writing nothing. Unset: no limit, and free_disk_space fails.
    std::optional<std::uint64_t> disk_size;
    // The bytes of every file.
    std::uint64_t disk_used() const;
    struct Box {
        std::string text, caption;
        std::uint32_t style;
    };
    std::vector<Box> boxes;
    std::vector<std::string> calls;  // "operation argument" per call, in order
    std::map<std::uint32_t, std::u16string> system_messages;
    std::map<std::uint32_t, std::u16string> ntdll_messages;

    // Processes: the snapshot in order (after this process, which every snapshot lists first
    // under the file name of module_path), each with an optional readable command line.
    struct FakeProcess {
        std::uint32_t id;
        std::string name;
        std::optional<std::string> command_line;
    };
    std::vector<FakeProcess> processes;
    bool snapshot_fails = false;
    // Programs started: (program text, command line text, waited for). As on Win32, only an
    // existing file named by a path with a directory and the ending ".exe" is started.
    struct StartedProgram {
        std::string program, command_line;
        bool waited;
    };
    std::vector<StartedProgram> started;
    // Runs when a program is started (after the record), to act as that program would.
    std::function<void(const StartedProgram&)> on_run_program;

    // Registry (fake_registry.cpp): (subkey, value name) -> (type, data bytes), HKCU only.
    struct RegistryValue {
        std::uint32_t type;
        std::string data;
        friend bool operator==(const RegistryValue&, const RegistryValue&) = default;
    };
    std::map<std::pair<std::string, std::string>, RegistryValue> registry;
    // The values under a subkey, sorted by name, as the expectations give them.
    std::vector<ExpectedValue> registry_values(std::string_view subkey) const;

    // The Shell link (fake_shell_link.cpp): links saved, by normalized path. A save fails with
    // `shell_link_failure` when it is set, and with 0x80070003 (and its message from
    // `hresult_messages`) when the folder is missing.
    std::map<std::string, ShellLink> shortcuts;
    std::optional<ShortcutError> shell_link_failure;
    std::map<HResult, std::u16string> hresult_messages;

    // Processors: run_concurrently starts at most this many threads, the caller's included.
    std::uint32_t processors = 2;
    // Memory: allocate() gives null when the buffers it has handed out and that are still alive
    // would come to more than this many bytes.
    std::optional<std::uint64_t> memory_limit;
    // ... and null for any one buffer of more than this many bytes.
    std::optional<std::uint64_t> largest_buffer;

    // Return an error code to make an operation fail: (operation name, path or argument).
    std::function<std::optional<std::uint32_t>(std::string_view, const std::string&)> fail_with;
    // Called after each sleep has advanced the clocks.
    std::function<void()> on_sleep;

    // Helpers for tests.
    // The fake's user (kFakeLocalAppData): LOCALAPPDATA set and its folder made.
    void add_user();
    // The messages of the user's setup log, without time and process id.
    std::vector<std::string> user_log() const;
    void set_env(const std::string& name, const std::string& value);
    void add_directory(const std::string& path);  // with its parents
    bool has_file(const std::string& path) const;
    const std::string& file(const std::string& path) const;
    static std::string normalize(const OsString& path);
    std::vector<std::string> calls_of(std::string_view operation) const;
    // Files opened and not closed yet.
    std::size_t open_file_count() const { return open_files_.size(); }
    // Bytes of the buffers allocate() has handed out that are still alive.
    std::uint64_t memory_in_use() const { return *memory_in_use_; }
    // As when an allocation of the program's own fails: runs the action of on_memory_exhausted
    // (which ends the run), or ends the process with 1 when none is set.
    [[noreturn]] void run_out_of_memory();
    // The messages of the setup log under a LOCALAPPDATA folder, without time and process id.
    std::vector<std::string> log_messages(const OsString& local_app_data) const;

    // ---- Platform
    SharedBytes allocate(std::size_t size) override;
    std::u16string command_line() override;
    OsString module_file_name() override;
    std::optional<OsString> environment_variable(std::string_view name) override;
    OsResult<void> create_named_mutex(std::string_view name) override;
    std::uint32_t current_process_id() override;
    [[noreturn]] void exit_process(std::uint32_t code) override;
    void on_memory_exhausted(MemoryAction action, std::uintptr_t context) override;

    std::uint64_t system_time() override;
    MonotonicTime monotonic_time() override;
    void sleep(std::chrono::milliseconds duration) override;

    OsResult<void> create_directory(const OsString& path) override;
    bool is_directory(const OsString& path) override;
    OsResult<FileHandle> open_for_append(const OsString& path) override;
    OsResult<std::uint32_t> write_file(FileHandle file, std::span<const std::byte> data) override;
    void close_file(FileHandle file) override;

    // file installation (fake_install_files.cpp)
    OsResult<FileHandle> create_for_writing(const OsString& path) override;
    OsResult<void> move_replacing(const OsString& from, const OsString& to) override;
    OsResult<void> delete_file(const OsString& path) override;
    OsResult<bool> is_read_only(const OsString& path) override;
    OsResult<void> set_read_only(const OsString& path, bool read_only) override;
    OsResult<std::uint64_t> free_disk_space(const OsString& directory) override;
    OsResult<std::uint64_t> file_size(const OsString& path) override;

    // processes (fake_processes.cpp)
    std::vector<ProcessRecord> process_snapshot() override;
    std::optional<std::string> process_command_line(std::uint32_t process_id) override;
    bool path_exists(const OsString& path) override;
    OsResult<void> run_program(const OsString& program, const OsString& command_line,
                               ProgramWait wait) override;

    // registry (fake_registry.cpp)
    OsResult<void> set_registry_value(std::string_view subkey, std::string_view name,
                                      std::uint32_t type, std::span<const std::byte> data) override;

    // Real threads, so that the sanitizers see the work as it runs on Windows.
    void run_concurrently(FunctionRef<void()> task, std::uint32_t threads) override;
    std::uint32_t processor_count() override;
    // Every monitor is one lock and one condition variable of the fake's (coarser, never wrong).
    void lock(Monitor& monitor) override;
    void unlock(Monitor& monitor) override;
    void wait(Monitor& monitor) override;
    void wake_all(Monitor& monitor) override;

    // the Shell link (fake_shell_link.cpp)
    void preload_shell_link() override;
    std::expected<void, ShortcutError> save_shell_link(const ShellLink& link) override;

    void message_box(std::string_view text, std::string_view caption,
                     std::uint32_t style) override;
    OsResult<std::u16string> system_message(std::uint32_t number, bool from_ntdll) override;

protected:
    // Records the call and asks `fail_with`; a code means the operation fails with it.
    std::optional<std::uint32_t> enter(std::string_view operation, const std::string& argument);
    std::string parent_key(const std::string& key) const;

    // Opens (creating when missing) the file for writing; `truncate` cuts it to zero bytes.
    OsResult<FileHandle> open_file(std::string_view operation, const OsString& path,
                                   bool truncate);

    // Held by every operation on the state above (recursive: operations call one another).
    std::recursive_mutex state_lock_;
    std::mutex monitor_lock_;
    std::condition_variable_any monitor_wake_;

    std::map<std::uintptr_t, std::string> open_files_;  // handle -> normalized path
    std::uintptr_t next_handle_ = 100;
    // Bytes of the buffers allocate() has handed out that are still alive. Atomic: the pieces'
    // threads allocate and release buffers at the same time.
    std::shared_ptr<std::atomic<std::uint64_t>> memory_in_use_ =
        std::make_shared<std::atomic<std::uint64_t>>(0);
    MemoryAction memory_exhausted_ = nullptr;
    std::uintptr_t memory_exhausted_context_ = 0;
};

}  // namespace pelko::testing
