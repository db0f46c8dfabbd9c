#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/windows/windows_platform.h"
#include "setup_run.h"

namespace pelko::test {

// The real Win32 platform for runs of the whole installer sequence in this process (with
// testing::run_setup_to_exit, which gives the exit code the run returns): message boxes are
// recorded instead of shown, and `update_mode` makes the command line ask for update mode. The
// setup mutex is created once: this process holds it from then on, as a setup does until it
// ends, and its later runs take it for theirs.
class InProcessPlatform : public win::WindowsPlatform {
public:
    bool update_mode = false;
    std::vector<std::string> boxes;  // the texts of the boxes the runs would have shown

    std::u16string command_line() override {
        return update_mode ? u"\"pelko-setup.exe\" --update" : WindowsPlatform::command_line();
    }
    OsResult<void> create_named_mutex(std::string_view name) override {
        if (!mutex_held_) mutex_held_ = WindowsPlatform::create_named_mutex(name).has_value();
        if (!mutex_held_) return std::unexpected(os_error_of(183));
        return {};
    }
    // A run returns its exit code; it ends the process itself only when memory runs out, which
    // no test here makes happen. No exception may cross the core, which is built without them.
    [[noreturn]] void exit_process(std::uint32_t code) override {
        ADD_FAILURE() << "the run ended the process itself, with " << code;
        std::abort();
    }
    void message_box(std::string_view text, std::string_view, std::uint32_t) override {
        boxes.emplace_back(text);
    }

private:
    bool mutex_held_ = false;
};

}  // namespace pelko::test
