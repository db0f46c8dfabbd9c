#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "manifest.h"

namespace pelko::packer {

// The container of a manifest's files, laid out before any file is read: each entry's header
// (name length, name, data length) and the file its data comes from. Its bytes are read on
// demand, so that packing never holds more of the files than it compresses at once.
class ContainerLayout {
public:
    // The layout of the files in manifest order, each source opened once to be sure it can be
    // read; a problem for each line whose source is missing, a directory or no regular file,
    // cannot be opened, or has 4 GiB or more.
    static std::expected<ContainerLayout, std::vector<ManifestProblem>> of(
        const std::vector<ManifestLine>& lines);

    std::uint64_t size() const { return size_; }
    std::size_t entry_count() const { return entries_.size(); }
    // Of the entries whose ranges of the container (header and data) meet [begin, end), how
    // many `test(entry_begin, entry_end)` holds for.
    template <class Test>
    std::size_t count_entries(std::uint64_t begin, std::uint64_t end, Test test) const {
        if (begin >= end) return 0;
        auto at = std::ranges::partition_point(entries_,
                                               [&](const Entry& e) { return e.end() <= begin; });
        std::size_t count = 0;
        for (; at != entries_.end() && at->start < end; ++at) {
            count += test(at->start, at->end()) ? 1 : 0;
        }
        return count;
    }

    // The container's bytes from `offset`, filling `out`; the reason when a file cannot be read
    // or is no longer as long as it was.
    std::expected<void, std::string> read(std::uint64_t offset, std::span<std::byte> out) const;

private:
    struct Entry {
        std::uint64_t start = 0;  // of its header in the container
        std::vector<std::byte> header;
        std::filesystem::path source;
        std::uint64_t data_size = 0;
        std::uint64_t end() const { return start + header.size() + data_size; }
    };
    std::vector<Entry> entries_;
    std::uint64_t size_ = 0;
};

}  // namespace pelko::packer
