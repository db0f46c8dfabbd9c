#pragma once

#include <utility>

#include "platform/platform.h"

namespace pelko::test {

// A Platform that passes every operation to another one. Tests derive from it to watch or
// change a few operations of the real Win32 platform (count them, stop the process after the
// n-th one, keep exit_process from ending the test) while every other call stays real.
class ForwardingPlatform : public Platform {
public:
    explicit ForwardingPlatform(Platform& inner) : inner_(inner) {}

    SharedBytes allocate(std::size_t size) override { return inner_.allocate(size); }
    void on_memory_exhausted(std::function<void()> action) override {
        inner_.on_memory_exhausted(std::move(action));
    }
    std::u16string command_line() override { return inner_.command_line(); }
    OsString module_file_name() override { return inner_.module_file_name(); }
    std::optional<OsString> environment_variable(std::string_view name) override {
        return inner_.environment_variable(name);
    }
    OsResult<void> create_named_mutex(std::string_view name) override {
        return inner_.create_named_mutex(name);
    }
    std::uint32_t current_process_id() override { return inner_.current_process_id(); }
    [[noreturn]] void exit_process(std::uint32_t code) override {
        inner_.exit_process(code);
        std::unreachable();
    }

    std::uint64_t system_time() override { return inner_.system_time(); }
    MonotonicTime monotonic_time() override { return inner_.monotonic_time(); }
    void sleep(std::chrono::milliseconds duration) override { inner_.sleep(duration); }

    OsResult<void> create_directory(const OsString& path) override {
        return inner_.create_directory(path);
    }
    bool is_directory(const OsString& path) override { return inner_.is_directory(path); }
    OsResult<FileHandle> open_for_append(const OsString& path) override {
        return inner_.open_for_append(path);
    }
    OsResult<std::uint32_t> write_file(FileHandle file, std::span<const std::byte> data) override {
        return inner_.write_file(file, data);
    }
    void close_file(FileHandle file) override { inner_.close_file(file); }

    OsResult<FileHandle> create_for_writing(const OsString& path) override {
        return inner_.create_for_writing(path);
    }
    OsResult<void> move_replacing(const OsString& from, const OsString& to) override {
        return inner_.move_replacing(from, to);
    }
    OsResult<void> delete_file(const OsString& path) override { return inner_.delete_file(path); }

    std::vector<ProcessRecord> process_snapshot() override { return inner_.process_snapshot(); }
    std::optional<std::string> process_command_line(std::uint32_t process_id) override {
        return inner_.process_command_line(process_id);
    }
    bool path_exists(const OsString& path) override { return inner_.path_exists(path); }
    OsResult<void> run_program(const OsString& program, const OsString& command_line,
                               ProgramWait wait) override {
        return inner_.run_program(program, command_line, wait);
    }

    OsResult<void> set_registry_value(std::string_view subkey, std::string_view name,
                                      std::uint32_t type, std::span<const std::byte> data) override {
        return inner_.set_registry_value(subkey, name, type, data);
    }

    void run_concurrently(const std::function<void()>& task, std::uint32_t threads) override {
        inner_.run_concurrently(task, threads);
    }
    void preload_shell_link() override { inner_.preload_shell_link(); }
    std::expected<void, ShortcutError> save_shell_link(const ShellLink& link) override {
        return inner_.save_shell_link(link);
    }

    void message_box(std::string_view text, std::string_view caption,
                     std::uint32_t style) override {
        inner_.message_box(text, caption, style);
    }
    OsResult<std::u16string> system_message(std::uint32_t number, bool from_ntdll) override {
        return inner_.system_message(number, from_ntdll);
    }

protected:
    Platform& inner() { return inner_; }

private:
    Platform& inner_;
};

}  // namespace pelko::test
