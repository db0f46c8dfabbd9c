// Fuzzes the container reader with arbitrary bytes: lengths that run past the end, invalid
// UTF-8, every name the Windows path rules make hostile, and names that Windows mixes up.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <span>
#include <string>
#include <string_view>

#include "payload/names/file_name_key.h"
#include "payload/names/payload_name.h"
#include "payload/container/read_payload.h"
#include "payload/names/staging_path.h"

namespace {

std::uint64_t le(const std::uint8_t* p, int count) {
    std::uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = (value << 8) | p[i];
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::byte> container(reinterpret_cast<const std::byte*>(data), size);
    const auto read = pelko::read_payload(container);
    if (!read) return 0;

    // Accepted: the entries tile the container exactly, in order, with their own bytes, and
    // every name passes the rule (so no "..", nothing absolute, no stream, no device).
    std::size_t p = 0;
    for (const pelko::PayloadEntry& entry : *read) {
        if (p + 2 > size) std::abort();
        const std::uint64_t n = le(data + p, 2);
        const std::string_view name(reinterpret_cast<const char*>(data + p + 2), n);
        if (entry.name() != name) std::abort();
        if (!pelko::is_acceptable_payload_name(entry.name())) std::abort();
        if (entry.name().find("..") != std::string_view::npos) std::abort();
        if (entry.name().find(':') != std::string_view::npos) std::abort();
        const std::uint64_t d = le(data + p + 2 + n, 4);
        if (entry.size() != d) std::abort();
        const auto bytes = entry.data();
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] != container[p + 6 + n + i]) std::abort();
        }
        p += 6 + n + d;
    }
    if (p != size) std::abort();
    // ... and no two names are mixed up by Windows, checked the slow way: no staging file is a
    // file or a directory of the payload, and no file is a directory of it.
    std::set<std::u16string> files;
    std::set<std::u16string> directories;
    for (const pelko::PayloadEntry& entry : *read) {
        const std::u16string key = pelko::file_name_key(entry.name());
        files.insert(key);
        for (std::size_t at = key.find(u'\\'); at != std::u16string::npos;
             at = key.find(u'\\', at + 1)) {
            directories.insert(key.substr(0, at));
        }
    }
    for (const pelko::PayloadEntry& entry : *read) {
        const pelko::StagingName staging = pelko::staging_name(entry.name());
        const std::u16string staged =
            pelko::file_name_key(std::string(staging.kept) + std::string(staging.added));
        if (files.contains(staged) || directories.contains(staged)) std::abort();
        if (directories.contains(pelko::file_name_key(entry.name()))) std::abort();
    }
    return 0;
}
