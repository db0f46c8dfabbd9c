#pragma once

#include <cstddef>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pelko::packer {

// Appends one entry to a container: name length (16-bit LE), name, data length (32-bit LE),
// data. Refuses, with the reason, a name the installer would refuse (not UTF-8, "..", absolute
// or not a plain relative file path, holding a NUL), a name over 65,535 bytes and data over
// 4,294,967,295 bytes; nothing is appended then.
std::expected<void, std::string> append_entry(std::vector<std::byte>& container,
                                              std::string_view name, std::string_view data);

// The reason the installer would refuse the name, or nothing when it is accepted.
std::expected<void, std::string> check_name(std::string_view name);

// Why the installer would refuse these names together, install order kept: each entry whose
// staging file is a file of the payload, with both files named; nothing when there is none.
std::optional<std::string> staging_collision_text(std::span<const std::string_view> names);

}  // namespace pelko::packer
