// The contract's world on Win32 under Wine: a fresh folder of the build's scratch and a fresh
// key under HKEY_CURRENT_USER per test, arranged and read back with Win32 calls of the test
// support, not with the platform's own.
#include <windows.h>

#include "e2e_support.h"
#include "platform/windows/wide.h"
#include "platform/windows/windows_platform.h"
#include "readback.h"
#include "test_paths.h"
#include "world.h"

namespace pelko::contract {
namespace {

// The verbatim form, so that the readers reach paths of any length.
std::wstring full(const OsString& path) { return L"\\\\?\\" + win::to_wide(path); }

DWORD attributes_of(const OsString& path) { return GetFileAttributesW(full(path).c_str()); }

class Win32World final : public World {
public:
    Win32World() {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::string name = std::string(test->test_suite_name()) + "." + test->name();
        folder_ = test::fresh_directory(L"contract-" + win::to_wide(name));
        key_ = "Software\\PelkoContract\\" + name;
        RegDeleteTreeW(HKEY_CURRENT_USER, win::to_wide(key_).c_str());
    }
    ~Win32World() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, win::to_wide(key_).c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\PelkoContract");  // the parent too, once empty
    }

    Platform& os() override { return os_; }
    OsString path(std::string_view relative) override {
        return test::os_path(folder_ + L"\\" + win::to_wide(relative));
    }

    void put_file(const OsString& path, std::string_view contents) override {
        ASSERT_TRUE(test::write_file(full(path), contents)) << path.to_text();
    }
    void put_directory(const OsString& path) override {
        ASSERT_TRUE(CreateDirectoryW(full(path).c_str(), nullptr)) << path.to_text();
    }
    void put_read_only(const OsString& path) override {
        ASSERT_TRUE(SetFileAttributesW(full(path).c_str(), FILE_ATTRIBUTE_READONLY));
    }
    bool put_link(const OsString& link, const OsString& target, bool folder) override {
        // Wine 8 answers success without making anything: only a link that is there counts.
        CreateSymbolicLinkW(full(link).c_str(), full(target).c_str(),
                            folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0);
        const DWORD attributes = attributes_of(link);
        return attributes != INVALID_FILE_ATTRIBUTES &&
               (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    }
    OsString put_program(std::string_view name) override {
        return test::os_path(test::copy_stand_in(folder_, win::to_wide(name)));
    }

    std::optional<std::string> file(const OsString& path) override {
        const DWORD attributes = attributes_of(path);
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            return std::nullopt;
        }
        return test::read_file(full(path));
    }
    bool exists(const OsString& path) override {
        return attributes_of(path) != INVALID_FILE_ATTRIBUTES;
    }
    bool is_directory(const OsString& path) override {
        const DWORD attributes = attributes_of(path);
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
    bool is_read_only(const OsString& path) override {
        const DWORD attributes = attributes_of(path);
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
    }
    bool runs(std::string_view file_name) override {
        return !test::running(win::to_wide(file_name).c_str()).empty();
    }

    std::string registry_key() override { return key_; }
    std::optional<StoredValue> registry_value(std::string_view subkey,
                                              std::string_view name) override {
        const auto value = test::read_registry_value(win::to_wide(subkey), win::to_wide(name));
        if (!value) return std::nullopt;
        return StoredValue{value->type, std::string(value->data.begin(), value->data.end())};
    }

private:
    win::WindowsPlatform os_;
    std::wstring folder_;
    std::string key_;
};

}  // namespace

std::unique_ptr<World> make_world() { return std::make_unique<Win32World>(); }

}  // namespace pelko::contract
