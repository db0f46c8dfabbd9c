#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "payload/container/little_endian.h"

namespace pelko {

// The container: entries laid one after another, with nothing before, between or after them.
// One entry is its name's length (2 bytes), its name (UTF-8, '/' between folders), its data's
// length (4 bytes) and its data; the lengths are unsigned and little-endian. The one definition
// of that layout: the installer reads it, the packer writes and reads it, the tests build it.
inline constexpr int kNameLengthBytes = 2;
inline constexpr int kDataLengthBytes = 4;
inline constexpr std::uint64_t kMaxNameBytes = 0xFFFF;
inline constexpr std::uint64_t kMaxDataBytes = 0xFFFFFFFF;

// The bytes of an entry's header around its name: 6.
inline constexpr std::size_t kEntryHeaderBytes = kNameLengthBytes + kDataLengthBytes;

// The bytes of an entry whose name and data have these lengths.
inline constexpr std::uint64_t entry_bytes(std::uint64_t name_length, std::uint64_t data_length) {
    return kEntryHeaderBytes + name_length + data_length;
}

// Appends an entry's header, everything but its data (the name at most kMaxNameBytes, the data
// length at most kMaxDataBytes).
inline void append_entry_header(std::vector<std::byte>& out, std::string_view name,
                                std::uint64_t data_length) {
    append_le(out, name.size(), kNameLengthBytes);
    const auto* bytes = reinterpret_cast<const std::byte*>(name.data());
    out.insert(out.end(), bytes, bytes + name.size());
    append_le(out, data_length, kDataLengthBytes);
}

// The header of the entry at offset `at` of a container in memory: its name (the bytes, not
// checked) and its data's length, or nothing when the container ends inside the header. The
// entry's data may still run past the container's end: `next` is then beyond it.
struct EntryHeader {
    std::string_view name;
    std::uint64_t data_length = 0;
    std::uint64_t next = 0;  // the offset of the entry after it
};
inline std::optional<EntryHeader> entry_header_at(std::span<const std::byte> container,
                                                  std::uint64_t at) {
    if (at > container.size() || container.size() - at < kEntryHeaderBytes) return std::nullopt;
    const auto name_at = static_cast<std::size_t>(at) + kNameLengthBytes;
    const std::uint64_t name_length = read_le(container, name_at - kNameLengthBytes,
                                              kNameLengthBytes);
    if (container.size() - at < entry_bytes(name_length, 0)) return std::nullopt;
    const auto length_at = name_at + static_cast<std::size_t>(name_length);
    const std::uint64_t data_length = read_le(container, length_at, kDataLengthBytes);
    return EntryHeader{
        std::string_view(reinterpret_cast<const char*>(container.data() + name_at),
                         static_cast<std::size_t>(name_length)),
        data_length, at + entry_bytes(name_length, data_length)};
}

}  // namespace pelko
