#pragma once

#include "platform/platform.h"

namespace pelko::win {

// The platform on the real Win32 API. Each operation converts its strings at the call and
// closes what it opens before returning.
class WindowsPlatform final : public Platform {
public:
    std::u16string command_line() override;
    OsString module_file_name() override;
    std::optional<OsString> environment_variable(std::string_view name) override;
    bool create_named_mutex(std::string_view name) override;
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

    void message_box(std::string_view text, std::string_view caption,
                     std::uint32_t style) override;
    std::expected<std::u16string, std::uint32_t> system_message(std::uint32_t number,
                                                                bool from_ntdll) override;
};

}  // namespace pelko::win
