#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pelko::packer {

// One raw DEFLATE stream that inflates to what the given complete streams inflate to, one after
// another: each stream but the last loses the final flag of its last block and is followed by an
// empty stored block, so the next one starts on a byte boundary. Each stream refers to nothing
// before its own start, so every start after the first is a place where the joined stream can be
// inflated by a decoder of its own. Throws std::runtime_error for a stream that does not inflate.
struct JoinedStream {
    std::vector<std::byte> stream;
    std::vector<std::uint64_t> starts;  // where each given stream begins in it
};
JoinedStream join_raw_streams(const std::vector<std::vector<std::byte>>& streams);

}  // namespace pelko::packer
