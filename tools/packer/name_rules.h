#pragma once

#include <cstddef>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace pelko::packer {

// The reason the installer would refuse the name (not UTF-8, "..", absolute or not a plain
// relative file path, holding a NUL, over 65,535 bytes), or nothing when it is accepted.
std::expected<void, std::string> check_name(std::string_view name);

// Why the installer would refuse these names together, install order kept: each entry whose
// staging file is a file of the payload, with both files named; nothing when there is none.
std::optional<std::string> staging_collision_text(std::span<const std::string_view> names);

}  // namespace pelko::packer
