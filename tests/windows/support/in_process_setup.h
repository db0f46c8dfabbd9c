#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/windows/windows_platform.h"

namespace pelko::test {

// The real Win32 platform, except that ending the process throws (so a test can run the whole
// sequence in its own process and see the exit code) and message boxes are recorded instead of
// shown.
class InProcessPlatform : public win::WindowsPlatform {
public:
    struct Exit {
        std::uint32_t code;
    };
    std::vector<std::string> messages;

    [[noreturn]] void exit_process(std::uint32_t code) override { throw Exit{code}; }
    void message_box(std::string_view text, std::string_view, std::uint32_t) override {
        messages.emplace_back(text);
    }
};

// Runs the whole installer sequence in this process on the real platform with a stored payload;
// returns the exit code.
int run_setup_in_process(InProcessPlatform& os, const std::vector<std::byte>& stored_payload);

}  // namespace pelko::test
