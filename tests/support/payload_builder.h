#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelko::testing {

// Builds containers byte by byte, so tests can also make malformed ones.
struct ContainerBuilder {
    std::vector<std::byte> bytes;

    ContainerBuilder& u16(std::uint16_t value);
    ContainerBuilder& u32(std::uint32_t value);
    ContainerBuilder& raw(std::string_view text);
    // One complete entry: name length, name, data length, data.
    ContainerBuilder& entry(std::string_view name, std::string_view data);
};

// The data as one raw DEFLATE stream (zlib, no wrapper) at the given level.
std::vector<std::byte> raw_deflate(const std::vector<std::byte>& data, int level = 9);

inline std::string as_string(const std::vector<std::byte>& bytes) {
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

}  // namespace pelko::testing
