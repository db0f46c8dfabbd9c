#pragma once

#include <cstddef>
#include <expected>
#include <span>
#include <string>

namespace pelko::packer {

// The name of the PE section in which pelko-setup.exe carries its payload.
inline constexpr char kPayloadSection[] = ".payload";

// True when the bytes start like a Windows executable ("MZ").
bool looks_like_exe(std::span<const std::byte> file);

// The payload section's bytes of a Windows executable (its virtual size, so no file padding;
// bytes after the DEFLATE stream are ignored by inflating). The reason when there is none.
std::expected<std::span<const std::byte>, std::string> payload_of_exe(
    std::span<const std::byte> file);

}  // namespace pelko::packer
