#include "container_layout.h"

#include "files.h"
#include "payload/container/container_format.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace pelko::packer {
namespace {

// Why the source cannot be packed, or nothing; its stamp.
std::optional<std::string> source_problem(const std::filesystem::path& source, FileStamp& stamp) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(source, ec);
    if (status.type() == std::filesystem::file_type::not_found) return "no such file";
    if (ec) return "cannot read: " + ec.message();
    if (status.type() == std::filesystem::file_type::directory) {
        return std::string("a directory, not a file");
    }
    if (status.type() != std::filesystem::file_type::regular) {
        return std::string("not a regular file");
    }
    auto opened = SourceFile::open(source);
    if (!opened) return opened.error();
    stamp = opened->stamp();
    if (stamp.size > kMaxDataBytes) {
        return "file over 4 GiB (" + std::to_string(stamp.size) + " bytes)";
    }
    return std::nullopt;
}

ManifestProblem changed(int line, const std::filesystem::path& source, const std::string& what) {
    return {line, path_text(source) + ": changed while it was packed (" + what + ")"};
}

}  // namespace

std::expected<ContainerLayout, std::vector<ManifestProblem>> ContainerLayout::of(
    const std::vector<ManifestLine>& lines) {
    ContainerLayout layout;
    std::vector<ManifestProblem> problems;
    for (const ManifestLine& line : lines) {
        Entry entry;
        if (const auto problem = source_problem(line.source, entry.stamp)) {
            problems.push_back({line.line, path_text(line.source) + ": " + *problem});
            continue;
        }
        entry.start = layout.size_;
        append_entry_header(entry.header, line.name, entry.data_size());
        entry.source = line.source;
        entry.line = line.line;
        layout.size_ = entry.end();
        layout.entries_.push_back(std::move(entry));
    }
    if (!problems.empty()) return std::unexpected(std::move(problems));
    return layout;
}

std::expected<void, ManifestProblem> ContainerLayout::check_unchanged() const {
    for (const Entry& entry : entries_) {
        if (auto same = packer::check_unchanged(entry.source, entry.stamp); !same) {
            return std::unexpected(changed(entry.line, entry.source, same.error()));
        }
    }
    return {};
}

std::expected<void, ManifestProblem> ContainerLayout::Reader::read(std::span<std::byte> out) {
    if (failed_) return std::unexpected(ManifestProblem{0, "the sources were not read whole"});
    auto read = fill(out);
    if (!read) {
        failed_ = true;
        source_.reset();
        return read;
    }
    if (layout_.after_read_) layout_.after_read_(offset_);
    return {};
}

std::expected<void, ManifestProblem> ContainerLayout::Reader::fill(std::span<std::byte> out) {
    const std::vector<Entry>& entries = layout_.entries_;
    while (!out.empty() || (entry_ < entries.size() && offset_ == entries[entry_].end())) {
        if (entry_ == entries.size()) {
            return std::unexpected(ManifestProblem{0, "read past the container"});
        }
        const Entry& entry = entries[entry_];
        const std::uint64_t header_end = entry.start + entry.header.size();
        if (offset_ < header_end) {
            const std::size_t count = std::min<std::uint64_t>(out.size(), header_end - offset_);
            std::memcpy(out.data(), entry.header.data() + (offset_ - entry.start), count);
            out = out.subspan(count);
            offset_ += count;
            continue;
        }
        // The source, opened as its data begins: still the file the layout was made of.
        if (!source_) {
            auto opened = SourceFile::open(entry.source);
            if (!opened) {
                const auto same = packer::check_unchanged(entry.source, entry.stamp);
                return std::unexpected(
                    changed(entry.line, entry.source, same ? opened.error() : same.error()));
            }
            if (const std::string what = stamp_difference(entry.stamp, opened->stamp());
                !what.empty()) {
                return std::unexpected(changed(entry.line, entry.source, what));
            }
            source_.emplace(std::move(*opened));
        }
        const std::size_t count = std::min<std::uint64_t>(out.size(), entry.end() - offset_);
        const auto got = source_->read(out.first(count));
        if (!got || *got < count) {
            // Shorter than it was: its stamp tells how.
            const auto same = source_->check_unchanged(entry.source);
            return std::unexpected(changed(
                entry.line, entry.source,
                !same ? same.error() : !got ? "cannot read: " + got.error() : "it ended early"));
        }
        out = out.subspan(count);
        offset_ += count;
        if (offset_ == entry.end()) {
            // Its last byte read: through the handle and by its name, still the same file.
            if (auto same = source_->check_unchanged(entry.source); !same) {
                return std::unexpected(changed(entry.line, entry.source, same.error()));
            }
            source_.reset();
            ++entry_;
        }
    }
    return {};
}

}  // namespace pelko::packer
