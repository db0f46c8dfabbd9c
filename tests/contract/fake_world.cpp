// The contract's world on the fake: a fresh FakePlatform per test, arranged and read back
// through its maps.
#include "fake_platform.h"
#include "platform/path.h"
#include "world.h"

namespace pelko::contract {
namespace {

using testing::FakePlatform;

class FakeWorld final : public World {
public:
    FakeWorld() {
        fake_.add_directory(kFolder);
        fake_.disk_size = std::uint64_t{1} << 30;
    }
    Platform& os() override { return fake_; }
    OsString path(std::string_view relative) override {
        return path_join(OsString::from_utf8(kFolder), relative);
    }

    void put_file(const OsString& path, std::string_view contents) override {
        fake_.files[key(path)] = std::string(contents);
    }
    void put_directory(const OsString& path) override { fake_.directories.insert(key(path)); }
    void put_read_only(const OsString& path) override { fake_.read_only.insert(key(path)); }
    bool put_link(const OsString& link, const OsString& target, bool) override {
        fake_.links[key(link)] = key(target);
        return true;
    }
    OsString put_program(std::string_view name) override {
        const OsString program = path(name);
        put_file(program, "MZ");
        // Runs as the program would, before the start returns.
        fake_.on_run_program = [this](const FakePlatform::StartedProgram& started) {
            fake_.files[key(OsString::from_utf8(started.program + ".txt"))] +=
                started.command_line + "\n";
        };
        return program;
    }

    std::optional<std::string> file(const OsString& path) override {
        std::string k = key(path);
        if (const auto link = fake_.links.find(k); link != fake_.links.end()) k = link->second;
        const auto found = fake_.files.find(k);
        if (found == fake_.files.end()) return std::nullopt;
        return found->second;
    }
    bool exists(const OsString& path) override {
        const std::string k = key(path);
        return fake_.files.contains(k) || fake_.directories.contains(k) || fake_.links.contains(k);
    }
    bool is_directory(const OsString& path) override {
        return fake_.directories.contains(key(path));
    }
    bool is_read_only(const OsString& path) override { return fake_.read_only.contains(key(path)); }
    bool runs(std::string_view file_name) override {
        for (const FakePlatform::FakeProcess& process : fake_.processes) {
            if (process.name == file_name) return true;
        }
        return false;
    }

    std::string registry_key() override { return "Software\\PelkoContract"; }
    std::optional<StoredValue> registry_value(std::string_view subkey,
                                              std::string_view name) override {
        const auto found = fake_.registry.find({std::string(subkey), std::string(name)});
        if (found == fake_.registry.end()) return std::nullopt;
        return StoredValue{found->second.type, found->second.data};
    }

private:
    static constexpr const char* kFolder = "C:\\Users\\a\\Contract";
    static std::string key(const OsString& path) { return FakePlatform::normalize(path); }
    FakePlatform fake_;
};

}  // namespace

std::unique_ptr<World> make_world() { return std::make_unique<FakeWorld>(); }

}  // namespace pelko::contract
