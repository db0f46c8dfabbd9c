#pragma once

#include "platform/platform.h"

namespace pelko::win {

// Makes the process load DLLs from the system directory only, so that a DLL planted beside the
// installer (in a Downloads folder, say) is never loaded. Called first, before anything can
// load a DLL.
void restrict_dll_search();

// The platform on the real Win32 API. Each operation converts its strings at the call and
// closes what it opens before returning.
class WindowsPlatform : public Platform {
public:
    WindowsPlatform() = default;
    WindowsPlatform(const WindowsPlatform&) = delete;
    WindowsPlatform& operator=(const WindowsPlatform&) = delete;
    ~WindowsPlatform() override;

    // memory (windows_memory.cpp)
    SharedBytes allocate(std::size_t size) override;
    void on_memory_exhausted(MemoryAction action, std::uintptr_t context) override;

    std::u16string command_line() override;
    OsString module_file_name() override;
    std::optional<OsString> environment_variable(std::string_view name) override;
    OsResult<void> create_named_mutex(std::string_view name) override;
    std::uint32_t current_process_id() override;
    [[noreturn]] void exit_process(std::uint32_t code) override;

    std::uint64_t system_time() override;
    MonotonicTime monotonic_time() override;
    void sleep(std::chrono::milliseconds duration) override;

    OsResult<void> create_directory(const OsString& path) override;
    bool is_directory(const OsString& path) override;
    OsResult<FileHandle> open_for_append(const OsString& path) override;
    OsResult<std::uint32_t> write_file(FileHandle file, std::span<const std::byte> data) override;
    void close_file(FileHandle file) override;

    // file installation (windows_install_files.cpp)
    OsResult<FileHandle> create_for_writing(const OsString& path) override;
    OsResult<void> move_replacing(const OsString& from, const OsString& to) override;
    OsResult<void> delete_file(const OsString& path) override;
    OsResult<bool> is_read_only(const OsString& path) override;
    OsResult<void> set_read_only(const OsString& path, bool read_only) override;

    // space (windows_space.cpp)
    OsResult<std::uint64_t> free_disk_space(const OsString& directory) override;
    OsResult<std::uint64_t> file_size(const OsString& path) override;

    // threads (windows_threads.cpp)
    void run_concurrently(FunctionRef<void()> task, std::uint32_t threads) override;
    std::uint32_t processor_count() override;
    void lock(Monitor& monitor) override;
    void unlock(Monitor& monitor) override;
    void wait(Monitor& monitor) override;
    void wake_all(Monitor& monitor) override;

    // processes (windows_processes.cpp)
    std::vector<ProcessRecord> process_snapshot() override;
    std::optional<std::string> process_command_line(std::uint32_t process_id) override;
    bool path_exists(const OsString& path) override;
    OsResult<void> run_program(const OsString& program, const OsString& command_line,
                               ProgramWait wait) override;

    // registry (windows_registry.cpp)
    OsResult<void> set_registry_value(std::string_view subkey, std::string_view name,
                                      std::uint32_t type, std::span<const std::byte> data) override;

    // the Shell link (windows_shell_link.cpp)
    void preload_shell_link() override;
    std::expected<void, ShortcutError> save_shell_link(const ShellLink& link) override;

    void message_box(std::string_view text, std::string_view caption,
                     std::uint32_t style) override;
    OsResult<std::u16string> system_message(std::uint32_t number, bool from_ntdll) override;

    // Runs the action of on_memory_exhausted, if there is one (see memory_exhausted.h).
    void run_memory_exhausted_action();

private:
    // Waits for the thread of preload_shell_link, if one was started, and closes it.
    void finish_preload();
    // This platform's action is no longer the process's (it is going away).
    void forget_memory_exhausted_action();

    MemoryAction memory_exhausted_action_ = nullptr;
    std::uintptr_t memory_exhausted_context_ = 0;

    void* preload_thread_ = nullptr;  // HANDLE of the preload thread, or null
};

}  // namespace pelko::win
