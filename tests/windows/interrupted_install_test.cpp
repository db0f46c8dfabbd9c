// File installation ended abruptly, on the real Win32 platform under Wine: an older version is
// installed, then a child process installs the newer one and terminates itself at the n-th file
// operation (in the middle of a write call when that operation is a write), for every n the
// installation makes. After each stop every target holds its old or its new contents whole, the
// files are new up to one entry and old after it, and a following installation completes and
// leaves no staging file.
//
// The child is this program itself, started with "--interrupt-at N INSTALL_DIR".
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <set>

#include "launch.h"
#include "payload/install/install_payload.h"
#include "platform/windows/wide.h"
#include "platform/windows/windows_platform.h"
#include "test_paths.h"

namespace pelko {
namespace {

constexpr DWORD kStoppedExitCode = 77;
// Each write call takes at most this much, so large files are written in several calls and
// the process can be stopped between them.
constexpr std::size_t kWriteChunk = 64 * 1024;

// Bytes that differ from file to file and from version to version.
std::string pattern(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    unsigned state = seed * 2654435761u + 1;
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 16);
    }
    return bytes;
}

using Files = std::vector<std::pair<std::string, std::string>>;

// The installed version. "keep.txt" is not in the newer payload and must stay as it is.
const Files& old_version() {
    static const Files files = {
        {"pelko.exe", pattern(300'000, 1)},
        {"pelko-guard.exe", pattern(40'000, 2)},
        {"pelko.dll", pattern(10'000, 3)},
        {"driver/setup-driver.exe", pattern(100'000, 4)},
        {"driver/license.txt", "old license\r\n"},
        {"readme.txt", pattern(5'000, 5)},
        {"keep.txt", "not in the new payload"},
    };
    return files;
}

// The newer version: files grow, shrink, become empty; pelko.exe and pelko.dll share the
// staging file pelko.new; lang/fi/strings.txt is new, in directories that do not exist yet.
const Files& new_version() {
    static const Files files = {
        {"pelko.exe", pattern(500'000, 11)},
        {"pelko-guard.exe", pattern(20'000, 12)},
        {"pelko.dll", pattern(12'000, 13)},
        {"driver/setup-driver.exe", pattern(150'000, 14)},
        {"driver/license.txt", "new license, longer than the old one\r\n"},
        {"readme.txt", ""},
        {"lang/fi/strings.txt", "suomeksi\r\n"},
    };
    return files;
}

std::vector<PayloadEntry> entries_of(const Files& files) {
    std::vector<PayloadEntry> entries;
    for (const auto& [name, data] : files) {
        SharedBytes storage = heap_memory().allocate(data.size() + 1);
        std::memcpy(storage.get(), data.data(), data.size());
        entries.emplace_back(name, std::move(storage), 0, data.size());
    }
    return entries;
}

// The real platform with every file-installation operation counted; at operation number
// `stop_at` the process terminates itself: after the operation, or for a write after writing
// half of what that call would have written. Write calls take at most kWriteChunk bytes.
class StoppingPlatform : public win::WindowsPlatform {
public:
    explicit StoppingPlatform(int stop_at) : stop_at_(stop_at) {}

    int operations() const { return count_; }
    const std::vector<std::string>& kinds() const { return kinds_; }

    OsResult<void> create_directory(const OsString& path) override {
        auto result = WindowsPlatform::create_directory(path);
        counted("create_directory " + path.to_text());
        return result;
    }
    bool is_directory(const OsString& path) override {
        const bool result = WindowsPlatform::is_directory(path);
        counted("is_directory " + path.to_text());
        return result;
    }
    OsResult<FileHandle> create_for_writing(const OsString& path) override {
        auto result = WindowsPlatform::create_for_writing(path);
        counted("create_for_writing " + path.to_text());
        return result;
    }
    OsResult<std::uint32_t> write_file(FileHandle file, std::span<const std::byte> data) override {
        data = data.first(std::min(data.size(), kWriteChunk));
        if (count_ + 1 == stop_at_) data = data.first(data.size() / 2);  // the last call, cut short
        auto result = WindowsPlatform::write_file(file, data);
        counted("write_file " + std::to_string(data.size()));
        return result;
    }
    void close_file(FileHandle file) override {
        WindowsPlatform::close_file(file);
        counted("close_file");
    }
    OsResult<void> move_replacing(const OsString& from, const OsString& to) override {
        auto result = WindowsPlatform::move_replacing(from, to);
        counted("move_replacing " + from.to_text());
        return result;
    }
    OsResult<void> delete_file(const OsString& path) override {
        auto result = WindowsPlatform::delete_file(path);
        counted("delete_file " + path.to_text());
        return result;
    }

private:
    void counted(std::string kind) {
        kinds_.push_back(std::move(kind));
        if (++count_ == stop_at_) TerminateProcess(GetCurrentProcess(), kStoppedExitCode);
    }

    int stop_at_;
    int count_ = 0;
    std::vector<std::string> kinds_;
};

// The child: installs the newer version into the directory, stopping at the operation.
int child_main(int stop_at, const std::wstring& install_dir) {
    StoppingPlatform os(stop_at);
    const std::vector<PayloadEntry> entries = entries_of(new_version());
    const auto installed = install_payload(os, win::from_wide(install_dir), entries);
    if (!installed) {
        std::fprintf(stderr, "install failed: %s\n", installed.error().text.c_str());
        return 1;
    }
    return 0;
}

std::wstring windows_name(const std::string& name) {
    std::wstring wide = win::to_wide(name);
    for (wchar_t& c : wide) {
        if (c == L'/') c = L'\\';
    }
    return wide;
}

// Every file under the directory, as relative names with '/', and their sizes.
std::map<std::string, std::size_t> files_under(const std::wstring& dir) {
    std::map<std::string, std::size_t> files;
    for (const std::filesystem::path& path : test::paths_below(dir)) {
        if (!std::filesystem::is_regular_file(path)) continue;
        files[test::narrow(path.lexically_relative(dir).generic_wstring())] =
            std::filesystem::file_size(path);
    }
    return files;
}

void install_in_process(const std::wstring& install_dir, const Files& files) {
    win::WindowsPlatform os;
    const std::vector<PayloadEntry> entries = entries_of(files);
    const auto installed = install_payload(os, win::from_wide(install_dir), entries);
    ASSERT_TRUE(installed.has_value()) << installed.error().text;
    std::uint64_t total = 0;
    for (const auto& [name, data] : files) total += data.size();
    EXPECT_EQ(*installed, total);
}

// The operations of one uninterrupted installation of the newer version over the older one.
std::vector<std::string> operations_of_one_install(const std::wstring& install_dir) {
    install_in_process(install_dir, old_version());
    StoppingPlatform os(0);
    const std::vector<PayloadEntry> entries = entries_of(new_version());
    const auto installed = install_payload(os, win::from_wide(install_dir), entries);
    EXPECT_TRUE(installed.has_value());
    return os.kinds();
}

TEST(InterruptedInstall, EveryTargetOldOrNewWholeAtEveryStopAndTheNextRunCompletes) {
    const std::wstring scratch = test::fresh_directory(L"interrupted");
    std::vector<std::string> operations = operations_of_one_install(scratch + L"\\dry");
    const std::string dry_text = test::narrow(scratch + L"\\dry");
    for (std::string& operation : operations) {  // paths shown from the install directory
        if (const std::size_t at = operation.find(dry_text); at != std::string::npos) {
            operation.replace(at, dry_text.size(), "<dir>");
        }
    }
    ASSERT_GE(operations.size(), 30u);

    const Files& older = old_version();
    const Files& newer = new_version();
    std::map<std::string, std::string> old_contents(older.begin(), older.end());
    std::set<std::string> all_names{"keep.txt"};
    for (const auto& [name, data] : newer) all_names.insert(name);

    std::map<std::string, int> outcomes;
    for (int stop_at = 1; stop_at <= static_cast<int>(operations.size()); ++stop_at) {
        SCOPED_TRACE("stopped at operation " + std::to_string(stop_at) + ": " +
                     operations[stop_at - 1]);
        const std::wstring install_dir = scratch + L"\\at" + std::to_wstring(stop_at);
        install_in_process(install_dir, older);

        test::Process process = test::start_program(test::this_program(
            L" --interrupt-at " + std::to_wstring(stop_at) + L" \"" + install_dir + L"\""));
        ASSERT_TRUE(process.valid());
        ASSERT_EQ(process.wait(60000), kStoppedExitCode);

        // Old or new, whole; new up to some entry, old after it.
        std::size_t new_count = 0;
        bool old_seen = false;
        for (const auto& [name, data] : newer) {
            const std::wstring target = install_dir + L"\\" + windows_name(name);
            const auto old_it = old_contents.find(name);
            const bool exists = test::file_exists(target);
            const std::string contents = test::read_file(target);
            const bool is_new = exists && contents == data;
            const bool is_old = old_it == old_contents.end() ? !exists
                                                             : exists && contents == old_it->second;
            EXPECT_TRUE(is_new || is_old) << name << " holds " << contents.size() << " bytes";
            if (is_new && !is_old) {
                EXPECT_FALSE(old_seen) << name << " is new after an older one";
                ++new_count;
            } else if (!is_new) {
                old_seen = true;
            }
        }
        EXPECT_EQ(test::read_file(install_dir + L"\\keep.txt"), old_contents.at("keep.txt"));

        // Whatever else is there is a staging file.
        std::string left;
        for (const auto& [name, size] : files_under(install_dir)) {
            if (all_names.contains(name)) continue;
            EXPECT_TRUE(name.ends_with(".new")) << name;
            left += " " + name + " (" + std::to_string(size) + " bytes)";
        }
        const std::string outcome =
            std::to_string(new_count) + " new" + (left.empty() ? "" : ", staging" + left);
        std::cout << "stop " << stop_at << " after " << operations[stop_at - 1] << ": "
                  << outcome << "\n";
        ++outcomes[left.empty() ? "no staging file left" : "a staging file left"];

        // The next run completes: every file new, nothing else but keep.txt.
        install_in_process(install_dir, newer);
        std::map<std::string, std::size_t> expected;
        for (const auto& [name, data] : newer) expected[name] = data.size();
        expected["keep.txt"] = old_contents.at("keep.txt").size();
        EXPECT_EQ(files_under(install_dir), expected);
        for (const auto& [name, data] : newer) {
            EXPECT_EQ(test::read_file(install_dir + L"\\" + windows_name(name)), data) << name;
        }
        test::remove_tree(install_dir);
        if (::testing::Test::HasFatalFailure()) return;
    }
    std::cout << operations.size() << " stop points:";
    for (const auto& [outcome, count] : outcomes) std::cout << " " << count << " " << outcome << ";";
    std::cout << "\n";
    test::remove_tree(scratch);
}

}  // namespace
}  // namespace pelko

int main(int argc, char** argv) {
    const auto child = pelko::test::child_arguments(L"--interrupt-at");
    if (child && child->size() == 2) return pelko::child_main(std::stoi((*child)[0]), (*child)[1]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
