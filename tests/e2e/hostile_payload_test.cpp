// The built installer with a hostile payload put into a copy of its .payload section (with a
// matching CRC-32): the name is refused with "bad name {}" and nothing at all is written but
// the log.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "expected.h"
#include "e2e_support.h"
#include "launch.h"
#include "payload_builder.h"
#include "payload_image.h"
#include "test_paths.h"

namespace pelko {
namespace {

struct RunResult {
    std::wstring local;
    std::optional<DWORD> exit_code;
    std::optional<std::wstring> box;
};

// Runs a copy of the installer carrying entries of these names. `prepare` may put files into the
// LOCALAPPDATA folder before the run.
RunResult run_with_names(const std::wstring& folder, const std::vector<std::string>& names,
                         bool update,
                         const std::function<void(const std::wstring& local)>& prepare = {}) {
    const std::wstring dir = test::fresh_directory(folder);
    std::string image = test::read_file(test::setup_exe());
    testing::ContainerBuilder container;
    for (const std::string& name : names) container.entry(name, "new " + name);
    EXPECT_TRUE(test::replace_payload(image, testing::raw_deflate(container.bytes)));
    const std::wstring exe = dir + L"\\pelko-setup.exe";
    EXPECT_TRUE(test::write_file(exe, image));

    RunResult run;
    run.local = dir + L"\\Local";
    test::create_directories(run.local + L"\\cwd");
    if (prepare) prepare(run.local);
    test::LaunchOptions launch = test::launch_of(exe, update ? L" --update" : L"");
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
    std::vector<std::wstring> names;
    for (const auto& entry : std::filesystem::directory_iterator(local)) {
        names.push_back(entry.path().filename().wstring());
    }
    std::ranges::sort(names);
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Pelko", L"cwd"}));
    EXPECT_FALSE(test::file_exists(local + L"\\cwd\\before.txt"));
}

RunResult run_with_name(const std::wstring& folder, const std::string& name, bool update) {
    return run_with_names(folder, {"before.txt", name}, update);
}

TEST(HostilePayload, DotDotNameIsRefusedWithTheBox) {
    const RunResult run = run_with_name(L"e2e-hostile-dotdot", "..\\..\\evil.txt", false);
    ASSERT_TRUE(run.box.has_value()) << "no message box";
    EXPECT_EQ(test::narrow(*run.box), testing::failure_box("bad name ..\\..\\evil.txt"));
    EXPECT_EQ(run.exit_code, 1u);
    EXPECT_EQ(test::log_messages(run.local).back(), testing::failed_line("bad name ..\\..\\evil.txt"));
    expect_only_the_log(run.local);
    EXPECT_FALSE(test::file_exists(run.local + L"\\..\\evil.txt"));
}

TEST(HostilePayload, DeviceNameIsRefusedInUpdateMode) {
    const RunResult run = run_with_name(L"e2e-hostile-device", "sub/aux.txt", true);
    EXPECT_EQ(run.exit_code, 1u);
    EXPECT_EQ(test::log_messages(run.local),
              (std::vector<std::string>{testing::start_line(true),
                                        testing::failed_line("bad name sub/aux.txt")}));
    expect_only_the_log(run.local);
}

// Entries whose staging files are files of the payload (a.new its own, a.dll's the a.new of an
// earlier version): refused before anything is touched, so the installed files stay as they are.
TEST(HostilePayload, StagingFilesThatAreFilesOfThePayloadAreRefused) {
    const std::vector<std::string> installed{"pelko.exe", "pelko-guard.exe", "a.new", "a.dll",
                                             "notes.NEW"};
    const auto install_old_version = [&](const std::wstring& local) {
        test::create_directories(local + L"\\Programs\\Pelko");
        for (const std::string& name : installed) {
            const std::wstring wide_name(name.begin(), name.end());
            test::write_file(local + L"\\Programs\\Pelko\\" + wide_name, "old " + name);
        }
    };
    const RunResult run =
        run_with_names(L"e2e-hostile-staging", installed, true, install_old_version);
    EXPECT_EQ(run.exit_code, 1u);
    EXPECT_EQ(test::log_messages(run.local),
              (std::vector<std::string>{testing::start_line(true), testing::failed_line("bad name a.new")}));
    std::vector<std::string> found;
    for (const auto& file :
         std::filesystem::directory_iterator(run.local + L"\\Programs\\Pelko")) {
        found.push_back(test::narrow(file.path().filename().wstring()) + "=" +
                        test::read_file(file.path().wstring()));
    }
    std::ranges::sort(found);
    EXPECT_EQ(found, (std::vector<std::string>{"a.dll=old a.dll", "a.new=old a.new",
                                               "notes.NEW=old notes.NEW",
                                               "pelko-guard.exe=old pelko-guard.exe",
                                               "pelko.exe=old pelko.exe"}));
}

}  // namespace
}  // namespace pelko
