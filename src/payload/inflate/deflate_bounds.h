#pragma once

#include <cstdint>

namespace pelko {

// DEFLATE gives at most 258 bytes for 2 bits, so no stream of n bytes inflates to more than
// kMaxExpansion * n bytes; a length past that, counted from the input left, cannot be there.
// The slack leaves room for a match cut by the end of an output range.
inline constexpr std::uint64_t kMaxExpansion = 1032;
inline constexpr std::uint64_t kExpansionSlack = 65536;

}  // namespace pelko
