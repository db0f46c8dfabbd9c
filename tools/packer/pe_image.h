#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace pelko::packer {

// True when the bytes start like a Windows executable ("MZ").
bool looks_like_exe(std::span<const std::byte> file);

// Where the payload section (payload/unpack/payload_section.h) lies in a Windows executable: its
// file offset and size (its virtual size, so no file padding). The reason when there is none.
struct SectionPlace {
    std::uint64_t file_offset = 0;
    std::uint64_t size = 0;
};
std::expected<SectionPlace, std::string> payload_section_of_exe(std::span<const std::byte> file);

// The executable with its payload section moved to a file offset that is a multiple of the page
// size (4096): page-aligned, Wine maps the section from the file as Windows does, instead of
// reading it into private memory when the image loads. The padding goes between the section
// before it and the section itself; every section after it moves by as much in the file, and
// nothing moves in memory. Refused (the reason) for an image without that section, or with a
// COFF symbol table or a debug directory, whose file offsets would be left behind. Made before
// the image is signed.
std::expected<std::vector<std::byte>, std::string> page_align_payload_section(
    std::span<const std::byte> file);

// The product version of a Windows executable's version resource ("0.2.0", its first three
// numbers), or nothing when it has none.
std::optional<std::string> product_version_of_exe(std::span<const std::byte> file);

}  // namespace pelko::packer
