#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace pelko {

// Shown by name in a failed expectation.
inline void PrintTo(OsErrorKind kind, std::ostream* out) {
    switch (kind) {
        case OsErrorKind::not_found: *out << "not_found"; return;
        case OsErrorKind::already_exists: *out << "already_exists"; return;
        case OsErrorKind::access_denied: *out << "access_denied"; return;
        case OsErrorKind::link: *out << "link"; return;
        case OsErrorKind::nul_in_string: *out << "nul_in_string"; return;
        case OsErrorKind::other: *out << "other"; return;
    }
}

namespace contract {

// The kind of error an operation failed with; nothing when it succeeded.
template <class T>
std::optional<OsErrorKind> failure_kind(const OsResult<T>& result) {
    if (result) return std::nullopt;
    return result.error().kind;
}

// A registry value as read back: its type and its bytes.
struct StoredValue {
    std::uint32_t type = 0;
    std::string data;
    friend bool operator==(const StoredValue&, const StoredValue&) = default;
};

// What a contract test runs in: the platform under test, a folder of the test's own (empty when
// the test starts) and a registry key of its own, and the means to arrange a case and to read
// its outcome back without the operations under test. One implementation per platform: on the
// fake it reads the fake's own state, on Win32 the system through calls of its own.
class World {
public:
    virtual ~World() = default;
    virtual Platform& os() = 0;
    // A path in the test's folder ('\' separated).
    virtual OsString path(std::string_view relative) = 0;

    virtual void put_file(const OsString& path, std::string_view contents) = 0;
    virtual void put_directory(const OsString& path) = 0;
    virtual void put_read_only(const OsString& path) = 0;
    // A link at `link` to the file or folder `target`; false where the platform cannot make one.
    virtual bool put_link(const OsString& link, const OsString& target, bool folder) = 0;
    // A program that appends its command line and a line feed to "{program}.txt" and ends.
    virtual OsString put_program(std::string_view name) = 0;

    // The contents of the file at the path (through a link), nothing when there is no file.
    virtual std::optional<std::string> file(const OsString& path) = 0;
    // Whether anything (a file, a folder, a link itself) stands at the path.
    virtual bool exists(const OsString& path) = 0;
    virtual bool is_directory(const OsString& path) = 0;
    virtual bool is_read_only(const OsString& path) = 0;
    // Whether a process runs from an executable of this file name.
    virtual bool runs(std::string_view file_name) = 0;

    // A key under HKEY_CURRENT_USER for this test alone, and a value under it as stored.
    virtual std::string registry_key() = 0;
    virtual std::optional<StoredValue> registry_value(std::string_view subkey,
                                                      std::string_view name) = 0;
};

// The world of this platform for the test that runs now.
std::unique_ptr<World> make_world();

// Every contract test: its world, and paths in the test's folder.
struct Contract : ::testing::Test {
    std::unique_ptr<World> world = make_world();
    Platform& os = world->os();
    OsString at(std::string_view relative) { return world->path(relative); }
};

}  // namespace contract
}  // namespace pelko
