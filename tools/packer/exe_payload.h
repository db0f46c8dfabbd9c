#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>

namespace pelko::packer {

// The name of the PE section in which pelko-setup.exe carries its payload.
inline constexpr char kPayloadSection[] = ".payload";

// True when the bytes start like a Windows executable ("MZ").
bool looks_like_exe(std::span<const std::byte> file);

// What the payload section of pelko-setup.exe holds: the CRC-32 the build recorded and the
// stored payload's length (each 4 bytes, little-endian), then the stored payload, then the index
// of its stream as the build recorded it (empty: none), and whatever padding the linker adds.
struct ExePayload {
    std::span<const std::byte> stored;
    std::uint32_t recorded_crc32 = 0;
    std::span<const std::byte> recorded_index;
};

// The payload of a Windows executable, by the length recorded in its section. The reason when
// there is none.
std::expected<ExePayload, std::string> payload_of_exe(std::span<const std::byte> file);

// The payload section's file offset and size in a Windows executable (its virtual size, so no
// file padding; the CRC and length included). The reason when there is none.
struct SectionPlace {
    std::uint64_t file_offset = 0;
    std::uint64_t size = 0;
};
std::expected<SectionPlace, std::string> payload_section_of_exe(std::span<const std::byte> file);

// The product version of a Windows executable's version resource ("0.2.0", its first three
// numbers), or nothing when it has none.
std::optional<std::string> product_version_of_exe(std::span<const std::byte> file);

}  // namespace pelko::packer
