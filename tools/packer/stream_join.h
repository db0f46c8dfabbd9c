#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pelko::packer {

// The complete raw DEFLATE stream made ready for another to follow: its final block made not
// final, and an empty stored block after it, which ends on a byte boundary. A stream that refers
// to nothing before its own start then begins a place where the joined stream can be inflated by
// a decoder of its own. Throws std::runtime_error for a stream that does not inflate.
std::vector<std::byte> open_ended(std::span<const std::byte> stream);

// One raw DEFLATE stream that inflates to what the given complete streams inflate to, one after
// another: every stream but the last open_ended.
struct JoinedStream {
    std::vector<std::byte> stream;
    std::vector<std::uint64_t> starts;  // where each given stream begins in it
};
JoinedStream join_raw_streams(const std::vector<std::vector<std::byte>>& streams);

}  // namespace pelko::packer
