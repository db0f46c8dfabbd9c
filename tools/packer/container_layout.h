#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "manifest.h"
#include "source_file.h"

namespace pelko::packer {

// The container of a manifest's files, laid out before any file is read: each entry's header
// (name length, name, data length) and the file its data comes from. Its bytes are read on
// demand, front to back (Reader), so that packing never holds more of the files than it
// compresses at once.
//
// Each source is packed as it was when the layout was made, or not at all: its stamp (the file
// itself, its size, its modification time) is taken then, and the file is read through one handle
// from its first byte to its last, which has to find the same stamp as it opens, and again, both
// through the handle and by the source's path, once its last byte is read. A file that grew,
// shrank, was written to, replaced or removed meanwhile fails the reading with its line ("{file}:
// changed while it was packed ({what})"); check_unchanged() asks the same of every source again
// before the output is put in place.
class ContainerLayout {
public:
    // The layout of the files in manifest order, each source opened once to be sure it can be
    // read, and stamped; a problem for each line whose source is missing, a directory or no
    // regular file, cannot be opened, or has 4 GiB or more.
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

    // The container read front to back, one source open at a time.
    class Reader {
    public:
        explicit Reader(const ContainerLayout& layout) : layout_(layout) {}
        // The next bytes of the container, filling `out`; the problem of the line whose source
        // cannot be read or changed, after which nothing more is read.
        std::expected<void, ManifestProblem> read(std::span<std::byte> out);
        // Of the container, where the next read begins.
        std::uint64_t offset() const { return offset_; }

    private:
        std::expected<void, ManifestProblem> fill(std::span<std::byte> out);
        const ContainerLayout& layout_;
        std::size_t entry_ = 0;
        std::uint64_t offset_ = 0;
        std::optional<SourceFile> source_;  // of the entry whose data is being read
        bool failed_ = false;
    };

    // Nothing when every source still has the stamp it had when the layout was made; else the
    // problem of the first line whose source changed.
    std::expected<void, ManifestProblem> check_unchanged() const;

    // Called after each read of a Reader with the offset of the container it reached, on the
    // reading thread: lets a test change a source between two reads.
    void after_each_read(std::function<void(std::uint64_t)> hook) { after_read_ = std::move(hook); }

private:
    struct Entry {
        std::uint64_t start = 0;  // of its header in the container
        std::vector<std::byte> header;
        std::filesystem::path source;
        int line = 0;
        FileStamp stamp;
        std::uint64_t data_size() const { return stamp.size; }
        std::uint64_t end() const { return start + header.size() + data_size(); }
    };
    std::vector<Entry> entries_;
    std::uint64_t size_ = 0;
    std::function<void(std::uint64_t)> after_read_;
};

}  // namespace pelko::packer
