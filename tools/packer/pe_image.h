#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>

namespace pelko::packer {

// True when the bytes start like a Windows executable ("MZ").
bool looks_like_exe(std::span<const std::byte> file);

// Where the payload section (payload/unpack/payload_section.h) lies in a Windows executable: its file
// offset and size (its virtual size, so no file padding). The reason when there is none.
struct SectionPlace {
    std::uint64_t file_offset = 0;
    std::uint64_t size = 0;
};
std::expected<SectionPlace, std::string> payload_section_of_exe(std::span<const std::byte> file);

// The product version of a Windows executable's version resource ("0.2.0", its first three
// numbers), or nothing when it has none.
std::optional<std::string> product_version_of_exe(std::span<const std::byte> file);

}  // namespace pelko::packer
