#pragma once

#include <cstddef>
#include <span>

namespace pelko::win {

// The compressed payload linked into the executable: one read-only byte range.
std::span<const std::byte> embedded_payload();

}  // namespace pelko::win
