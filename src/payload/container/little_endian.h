#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pelko {

// The unsigned little-endian number in the `count` bytes (at most 8) of `bytes` from `at`, which
// lie inside it.
inline std::uint64_t read_le(std::span<const std::byte> bytes, std::size_t at, int count) {
    std::uint64_t value = 0;
    for (int i = count; i-- > 0;) {
        value = (value << 8) | static_cast<std::uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

// Appends the low `count` bytes of `value`, little-endian.
inline void append_le(std::vector<std::byte>& out, std::uint64_t value, int count) {
    for (int i = 0; i < count; ++i) out.push_back(static_cast<std::byte>((value >> (8 * i)) & 0xFF));
}

}  // namespace pelko
