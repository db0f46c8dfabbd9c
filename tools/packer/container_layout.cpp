#include "container_layout.h"

#include "files.h"
#include "payload/container/little_endian.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <optional>

namespace pelko::packer {
namespace {

// Why the source cannot be packed, or nothing.
std::optional<std::string> source_problem(const std::filesystem::path& source,
                                          std::uint64_t& size) {
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
    size = std::filesystem::file_size(source, ec);
    if (ec) return "cannot read: " + ec.message();
    if (size > 0xFFFFFFFFull) return "file over 4 GiB (" + std::to_string(size) + " bytes)";
    if (const auto opened = open_for_reading(source); !opened) return opened.error();
    return std::nullopt;
}

}  // namespace

std::expected<ContainerLayout, std::vector<ManifestProblem>> ContainerLayout::of(
    const std::vector<ManifestLine>& lines) {
    ContainerLayout layout;
    std::vector<ManifestProblem> problems;
    for (const ManifestLine& line : lines) {
        std::uint64_t size = 0;
        if (const auto problem = source_problem(line.source, size)) {
            problems.push_back({line.line, path_text(line.source) + ": " + *problem});
            continue;
        }
        Entry entry;
        entry.start = layout.size_;
        append_le(entry.header, line.name.size(), 2);
        for (const char c : line.name) entry.header.push_back(static_cast<std::byte>(c));
        append_le(entry.header, size, 4);
        entry.source = line.source;
        entry.data_size = size;
        layout.size_ = entry.end();
        layout.entries_.push_back(std::move(entry));
    }
    if (!problems.empty()) return std::unexpected(std::move(problems));
    return layout;
}

std::expected<void, std::string> ContainerLayout::read(std::uint64_t offset,
                                                       std::span<std::byte> out) const {
    // The first entry that ends after the offset, then on through the ones after it.
    auto entry = std::ranges::partition_point(entries_,
                                              [&](const Entry& e) { return e.end() <= offset; });
    while (!out.empty()) {
        if (entry == entries_.end()) return std::unexpected(std::string("read past the container"));
        const std::uint64_t header_end = entry->start + entry->header.size();
        if (offset < header_end) {
            const std::size_t count = std::min<std::uint64_t>(out.size(), header_end - offset);
            std::memcpy(out.data(), entry->header.data() + (offset - entry->start), count);
            out = out.subspan(count);
            offset += count;
            continue;
        }
        const std::uint64_t within = offset - header_end;
        const std::size_t count = std::min<std::uint64_t>(out.size(), entry->data_size - within);
        if (count != 0) {
            std::ifstream in(entry->source, std::ios::binary);
            if (!in || !in.seekg(static_cast<std::streamoff>(within)) ||
                !in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(count))) {
                return std::unexpected(path_text(entry->source) +
                                       ": cannot read (shorter than when packing began?)");
            }
        }
        out = out.subspan(count);
        offset += count;
        ++entry;
    }
    return {};
}

}  // namespace pelko::packer
