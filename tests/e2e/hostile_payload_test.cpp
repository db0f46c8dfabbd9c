// The built installer with a hostile payload put into a copy of its .payload section (with a
// matching CRC-32): the name is refused with "bad name {}" and nothing at all is written but
// the log.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "e2e_support.h"
#include "launch.h"
#include "payload_image.h"
#include "test_paths.h"

namespace pelko {
namespace {

struct RunResult {
    std::wstring local;
    std::optional<DWORD> exit_code;
    std::optional<std::wstring> box;
};

// Runs a copy of the installer carrying the entries "before.txt" and `name`.
RunResult run_with_name(const std::wstring& folder, const std::string& name, bool update) {
    const std::wstring dir = test::fresh_directory(folder);
    std::string image = test::read_file(test::setup_exe());
    const std::string stream = test::raw_deflate(test::container_entry("before.txt", "first") +
                                                 test::container_entry(name, "hostile"));
    EXPECT_TRUE(test::replace_payload(image, stream));
    const std::wstring exe = dir + L"\\pelko-setup.exe";
    EXPECT_TRUE(test::write_file(exe, image));

    RunResult run;
    run.local = dir + L"\\Local";
    test::create_directories(run.local + L"\\cwd");
    test::LaunchOptions launch;
    launch.program = exe;
    launch.command_line = L"\"" + exe + L"\"" + (update ? L" --update" : L"");
    launch.environment = {{L"LOCALAPPDATA", run.local}, {L"APPDATA", run.local + L"\\Roaming"}};
    launch.working_directory = run.local + L"\\cwd";
    test::Process setup = test::start_program(launch);
    EXPECT_TRUE(setup.valid());
    if (!update) run.box = test::take_message_box(setup.id(), L"Pelko Setup", 30000);
    run.exit_code = setup.wait(60000);
    return run;
}

// Only the log folder was made under LOCALAPPDATA (and the empty working directory).
void expect_only_the_log(const std::wstring& local) {
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileW((local + L"\\*").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    std::vector<std::wstring> names;
    do {
        if (data.cFileName != std::wstring(L".") && data.cFileName != std::wstring(L"..")) {
            names.push_back(data.cFileName);
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Pelko", L"cwd"}));
    EXPECT_FALSE(test::file_exists(local + L"\\cwd\\before.txt"));
}

TEST(HostilePayload, DotDotNameIsRefusedWithTheBox) {
    const RunResult run = run_with_name(L"e2e-hostile-dotdot", "..\\..\\evil.txt", false);
    ASSERT_TRUE(run.box.has_value()) << "no message box";
    EXPECT_EQ(test::narrow(*run.box), "Pelko was not installed.\n\nbad name ..\\..\\evil.txt");
    EXPECT_EQ(run.exit_code, 1u);
    EXPECT_EQ(test::log_messages(run.local).back(), "failed: bad name ..\\..\\evil.txt");
    expect_only_the_log(run.local);
    EXPECT_FALSE(test::file_exists(run.local + L"\\..\\evil.txt"));
}

TEST(HostilePayload, DeviceNameIsRefusedInUpdateMode) {
    const RunResult run = run_with_name(L"e2e-hostile-device", "sub/aux.txt", true);
    EXPECT_EQ(run.exit_code, 1u);
    EXPECT_EQ(test::log_messages(run.local),
              (std::vector<std::string>{"setup v0.1.1, update: true",
                                        "failed: bad name sub/aux.txt"}));
    expect_only_the_log(run.local);
}

}  // namespace
}  // namespace pelko
