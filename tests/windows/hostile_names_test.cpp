// Payloads with hostile names, run through the whole installer sequence on the real Win32
// platform (in this process, real files and paths) and through the built executable: each name
// is either refused with "bad name {}" before anything is written, or installed inside the
// install directory; no file anywhere else on drive C: or in the scratch folder ever changes.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "expected.h"
#include "e2e_support.h"
#include "environment_override.h"
#include "in_process_setup.h"
#include "payload_builder.h"
#include "test_paths.h"

namespace pelko {
namespace {

// The in-process run with what reaches beyond the install directory kept inside the test, which
// runs beside the end-to-end tests: no setup mutex, no look at the session's processes, no
// registry values and no program started (the names matter only to the file steps, which are
// real).
struct FileStepsOnly : test::InProcessPlatform {
    OsResult<void> create_named_mutex(std::string_view) override { return {}; }
    std::vector<ProcessRecord> process_snapshot() override { return {}; }
    OsResult<void> run_program(const OsString&, const OsString&, ProgramWait) override {
        return {};
    }
    OsResult<void> set_registry_value(std::string_view, std::string_view, std::uint32_t,
                                      std::span<const std::byte>) override {
        return {};
    }
};

// Every file and directory under a folder: path -> size and last write time.
using Snapshot = std::map<std::wstring, std::pair<std::uint64_t, std::uint64_t>>;

Snapshot snapshot(const std::wstring& root) {
    Snapshot s;
    for (const std::filesystem::path& path : test::paths_below(root)) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) continue;
        const bool is_dir = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const std::uint64_t size = is_dir ? UINT64_MAX
                                          : (std::uint64_t{data.nFileSizeHigh} << 32) |
                                                data.nFileSizeLow;
        const std::uint64_t written = is_dir ? 0
                                             : (std::uint64_t{data.ftLastWriteTime.dwHighDateTime}
                                                << 32) | data.ftLastWriteTime.dwLowDateTime;
        s[path.wstring()] = {size, written};
    }
    return s;
}

bool starts_with(const std::wstring& path, const std::wstring& prefix) {
    return path.size() >= prefix.size() &&
           CompareStringOrdinal(path.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

// What differs between two snapshots, except the allowed paths and what lies under the allowed
// folders.
std::vector<std::wstring> changes(const Snapshot& before, const Snapshot& after,
                                  const std::vector<std::wstring>& allowed_folders,
                                  const std::vector<std::wstring>& allowed_paths = {}) {
    std::vector<std::wstring> changed;
    const auto is_allowed = [&](const std::wstring& path) {
        for (const std::wstring& folder : allowed_folders) {
            if (starts_with(path, folder + L"\\") ||
                (path.size() == folder.size() && starts_with(path, folder))) {
                return true;
            }
        }
        for (const std::wstring& exact : allowed_paths) {
            if (path.size() == exact.size() && starts_with(path, exact)) return true;
        }
        return false;
    };
    for (const auto& [path, info] : after) {
        const auto old = before.find(path);
        if ((old == before.end() || old->second != info) && !is_allowed(path)) {
            changed.push_back(path);
        }
    }
    for (const auto& [path, info] : before) {
        if (!after.contains(path) && !is_allowed(path)) changed.push_back(path);
    }
    return changed;
}

const std::wstring kScratch = L"C:\\pelko-hostile-names";

struct Outcome {
    int exit_code = -1;
    std::string last_log_message;
};

// One run of the whole sequence on a payload of these entries, each holding its own name.
Outcome run_in_process(const std::wstring& local, const std::vector<std::string>& names) {
    testing::ContainerBuilder container;
    for (const std::string& name : names) container.entry(name, name);
    const std::vector<std::byte> stream = testing::raw_deflate(container.bytes);
    const test::EnvironmentOverride local_app_data(L"LOCALAPPDATA", local.c_str());
    const test::EnvironmentOverride app_data(L"APPDATA", nullptr);
    FileStepsOnly os;
    os.update_mode = true;
    Outcome outcome;
    outcome.exit_code = testing::run_setup_to_exit(os, {stream, testing::crc32_of(stream)});
    const auto messages = test::log_messages(local);
    if (!messages.empty()) outcome.last_log_message = messages.back();
    return outcome;
}

std::string shown(const std::string& name) {
    std::string out;
    for (const char c : name) out += c == '\0' ? std::string("\\0") : std::string(1, c);
    return out;
}

struct Fixture : ::testing::Test {
    static Snapshot drive_before;
    static void SetUpTestSuite() {
        test::remove_tree(kScratch);
        test::create_directories(kScratch + L"\\cwd");
        // Relative and drive-relative paths would resolve against the working directory.
        SetCurrentDirectoryW((kScratch + L"\\cwd").c_str());
        drive_before = snapshot(L"C:\\");
    }
    static void TearDownTestSuite() {
        SetCurrentDirectoryW(L"C:\\");
        test::remove_tree(kScratch);
    }
};
Snapshot Fixture::drive_before;

struct NameCase {
    std::string name;
    bool refused;
};

TEST_F(Fixture, EveryHostileNameIsRefusedOrInstalledInside) {
    const NameCase cases[] = {
        // ".." anywhere
        {"../evil.txt", true}, {"..\\evil.txt", true}, {"a/../../evil.txt", true},
        {"sub\\..\\..\\..\\evil.txt", true}, {"..", true},
        // absolute forms, rooted and drive-relative
        {"C:\\pelko-hostile-names\\abs.txt", true}, {"c:/pelko-hostile-names/abs.txt", true},
        {"C:evil.txt", true}, {"\\rooted.txt", true}, {"/rooted.txt", true},
        {"\\\\localhost\\C$\\pelko-hostile-names\\unc.txt", true},
        // device and verbatim forms
        {"\\\\.\\C:\\pelko-hostile-names\\device.txt", true}, {"//./C:/x.txt", true},
        {"\\\\?\\C:\\pelko-hostile-names\\verbatim.txt", true}, {"\\\\?\\", true},
        {"\\\\.\\NUL", true},
        // a trailing separator or a last component "."
        {"dir/", true}, {"dir\\", true}, {".", true}, {"dir/.", true}, {"", true},
        // reserved device names
        {"CON", true}, {"NUL", true}, {"aux.txt", true}, {"sub/com1.log", true},
        {"Prn .txt", true}, {"CONOUT$", true}, {"lpt\xC2\xB9", true},
        // alternate data streams
        {"a:b", true}, {"file.txt:stream", true}, {"file.txt::$DATA", true},
        // installed, inside the install directory
        {"trailing.", false}, {"dir./x.txt", false}, {"x/./y.txt", false}, {"a//b.txt", false},
        {"sub\\back.txt", false}, {"space .txt", false}, {"CONFIG.txt", false},
        // the platform refuses a NUL: a clear failure at the file steps
        {std::string("nul\0inside.txt", 14), false}, {std::string("d\0ir/x.txt", 10), false},
        // characters Windows does not allow in names: installed or a clear file failure
        {"star*.txt", false}, {"what?.txt", false}, {"pipe|.txt", false}, {"lt<.txt", false},
    };
    const auto began = std::chrono::steady_clock::now();
    int index = 0;
    for (const NameCase& c : cases) {
        const std::wstring local = kScratch + L"\\case" + std::to_wstring(index++) + L"\\Local";
        test::create_directories(local);
        const std::wstring install_dir = local + L"\\Programs\\Pelko";
        const Snapshot before = snapshot(kScratch);

        const Outcome outcome = run_in_process(local, {"before.txt", c.name});

        const Snapshot after = snapshot(kScratch);
        // The install directory and the Programs folder above it, the setup log and its folders.
        const std::wstring log_dir = local + L"\\Pelko\\logs";
        EXPECT_EQ(changes(before, after, {install_dir},
                          {local + L"\\Programs", local + L"\\Pelko", log_dir,
                           log_dir + L"\\setup.log"}),
                  std::vector<std::wstring>{})
            << shown(c.name);
        std::cout << "  [" << shown(c.name) << "] exit " << outcome.exit_code << ": "
                  << outcome.last_log_message << "\n";
        if (c.refused) {
            EXPECT_EQ(outcome.exit_code, 1) << shown(c.name);
            EXPECT_EQ(outcome.last_log_message, testing::failed_line("bad name " + c.name)) << shown(c.name);
            EXPECT_FALSE(test::file_exists(install_dir)) << shown(c.name) << ": wrote files";
        } else if (outcome.exit_code == 0) {
            EXPECT_EQ(test::read_file(install_dir + L"\\before.txt"), "before.txt");
            // The hostile entry's bytes are in some file of the install directory.
            bool found = false;
            for (const auto& [path, info] : snapshot(install_dir)) {
                if (test::read_file(path) == c.name) found = true;
            }
            EXPECT_TRUE(found) << shown(c.name);
        } else {
            EXPECT_EQ(outcome.exit_code, 1) << shown(c.name);
            // A file failure names a path inside the install directory, or is the NUL text.
            const std::string inside = testing::failed_line(test::narrow(install_dir) + "\\");
            const bool clear = outcome.last_log_message.starts_with(inside) ||
                               outcome.last_log_message == testing::failed_line(kNulInStringText);
            EXPECT_TRUE(clear) << shown(c.name) << ": " << outcome.last_log_message;
        }
    }
    const Snapshot drive_after = snapshot(L"C:\\");
    // Other programs of the Wine session may use the temporary folders meanwhile.
    wchar_t temp[MAX_PATH + 1];
    std::wstring user_temp(temp, GetTempPathW(MAX_PATH + 1, temp));
    if (!user_temp.empty() && user_temp.back() == L'\\') user_temp.pop_back();
    EXPECT_EQ(changes(drive_before, drive_after, {kScratch, L"C:\\windows\\temp", user_temp}),
              std::vector<std::wstring>{});
    std::cout << std::size(cases) << " names in "
              << std::chrono::duration_cast<std::chrono::milliseconds>(
                     std::chrono::steady_clock::now() - began).count()
              << " ms; drive C: holds " << drive_after.size() << " entries\n";
}

// Names that Windows takes for one another's files or directories: refused before anything is
// written. The alias of a long name is the one Wine made for a real file.
TEST_F(Fixture, NamesThatWindowsMixesUpAreRefusedBeforeAnythingIsWritten) {
    const std::wstring aliased = kScratch + L"\\alias";
    test::create_directories(aliased);
    ASSERT_TRUE(test::write_file(aliased + L"\\a.newer", "x"));
    wchar_t short_path[MAX_PATH];
    ASSERT_NE(GetShortPathNameW((aliased + L"\\a.newer").c_str(), short_path, MAX_PATH), 0u);
    const std::string alias = test::narrow(std::filesystem::path(short_path).stem().wstring());
    ASSERT_NE(alias.find('~'), std::string::npos) << alias;  // A~~~~YNS under Wine
    struct Mixed {
        std::vector<std::string> names;
        std::string refused;
    };
    const Mixed payloads[] = {
        {{"a.newer", alias + ".dll"}, alias + ".dll"},  // staged as a.newer's alias
        {{"a.newer", "A~1.dll"}, "A~1.dll"},            // staged as its alias on NTFS
        {{"\u1F88.new.", "\u1F80.dll"}, "\u1F80.dll"},     // one name to Windows
        {{"x.new/readme.txt", "x.dll"}, "x.dll"},       // staged as a directory of the payload
        {{"x.dll", "x.new/readme.txt"}, "x.dll"},
        {{"a", "a/b"}, "a"},                            // a file that is a directory of another
    };
    int index = 0;
    for (const Mixed& mixed : payloads) {
        const std::wstring local = kScratch + L"\\mixed" + std::to_wstring(index++) + L"\\Local";
        test::create_directories(local);
        const Outcome outcome = run_in_process(local, mixed.names);
        EXPECT_EQ(outcome.exit_code, 1) << mixed.refused;
        EXPECT_EQ(outcome.last_log_message, testing::failed_line("bad name " + mixed.refused));
        EXPECT_FALSE(test::file_exists(local + L"\\Programs")) << mixed.refused << ": wrote files";
    }
}

}  // namespace
}  // namespace pelko
