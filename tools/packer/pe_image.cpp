#include "pe_image.h"

#include <cstdint>
#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "payload/container/little_endian.h"
#include "payload/unpack/payload_section.h"

namespace pelko::packer {
bool looks_like_exe(std::span<const std::byte> file) {
    return file.size() >= 2 && file[0] == std::byte{'M'} && file[1] == std::byte{'Z'};
}

namespace {

// One section of a PE image: its name, where it lies in memory (relative) and in the file.
struct Section {
    std::string name;
    std::uint64_t address = 0;  // relative virtual address
    std::uint64_t file_offset = 0;
    std::uint64_t size = 0;  // in the file, without the padding the linker adds when it can
    std::uint64_t raw_size = 0;  // in the file, padding included
    std::uint64_t header = 0;    // the file offset of its entry in the section table
};

constexpr std::uint64_t kPageSize = 4096;

std::expected<std::vector<Section>, std::string> sections_of_exe(std::span<const std::byte> file) {
    const auto bad = [](const char* why) { return std::unexpected(std::string(why)); };
    if (!looks_like_exe(file) || file.size() < 0x40) return bad("not a Windows executable");
    const std::uint64_t pe = read_le(file, 0x3C, 4);
    if (pe + 24 > file.size() || read_le(file, pe, 4) != 0x00004550) {
        return bad("not a PE executable");
    }
    const std::uint64_t count = read_le(file, pe + 6, 2);
    const std::uint64_t optional_size = read_le(file, pe + 20, 2);
    const std::uint64_t table = pe + 24 + optional_size;
    std::vector<Section> sections;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t header = table + 40 * i;
        if (header + 40 > file.size()) return bad("section table cut short");
        char name[9] = {};
        std::memcpy(name, file.data() + header, 8);
        const std::uint64_t virtual_size = read_le(file, header + 8, 4);
        const std::uint64_t raw_size = read_le(file, header + 16, 4);
        const std::uint64_t raw_at = read_le(file, header + 20, 4);
        const std::uint64_t size = virtual_size != 0 && virtual_size < raw_size ? virtual_size
                                                                                : raw_size;
        if (raw_at + size > file.size()) return bad("a section runs past the file's end");
        sections.push_back({name, read_le(file, header + 12, 4), raw_at, size, raw_size, header});
    }
    return sections;
}

}  // namespace

std::expected<SectionPlace, std::string> payload_section_of_exe(std::span<const std::byte> file) {
    const auto sections = sections_of_exe(file);
    if (!sections) return std::unexpected(sections.error());
    for (const Section& section : *sections) {
        if (section.name == kPayloadSectionName) {
            return SectionPlace{section.file_offset, section.size};
        }
    }
    return std::unexpected(std::string("the executable has no .payload section"));
}

std::expected<std::vector<std::byte>, std::string> page_align_payload_section(
    std::span<const std::byte> file) {
    const auto sections = sections_of_exe(file);
    if (!sections) return std::unexpected(sections.error());
    const auto payload = std::ranges::find(*sections, kPayloadSectionName, &Section::name);
    if (payload == sections->end()) {
        return std::unexpected(std::string("the executable has no .payload section"));
    }
    const std::uint64_t pe = read_le(file, 0x3C, 4);
    if (read_le(file, pe + 12, 4) != 0) {
        return std::unexpected(std::string("it has a COFF symbol table, which would not move"));
    }
    // The data directories follow the optional header's fields: 112 bytes of them in PE32+, 96
    // in PE32. The seventh is the debug directory, whose data holds file offsets of its own.
    const std::uint64_t optional = pe + 24;
    const std::uint64_t directories = optional + (read_le(file, optional, 2) == 0x20B ? 112 : 96);
    if (directories + 7 * 8 > file.size() || read_le(file, directories + 6 * 8 + 4, 4) != 0) {
        return std::unexpected(
            std::string("it has a debug directory, whose data would not move with its section"));
    }
    const std::uint64_t at = payload->file_offset;
    const std::uint64_t shift = (kPageSize - at % kPageSize) % kPageSize;
    std::vector<std::byte> aligned(file.begin(), file.end());
    if (shift == 0) return aligned;
    for (const Section& section : *sections) {
        if (section.file_offset < at || section.raw_size == 0) continue;
        const std::uint64_t moved = section.file_offset + shift;
        for (int i = 0; i < 4; ++i) {
            aligned[section.header + 20 + i] = static_cast<std::byte>((moved >> (8 * i)) & 0xFF);
        }
    }
    aligned.insert(aligned.begin() + static_cast<std::ptrdiff_t>(at), shift, std::byte{0});
    return aligned;
}

std::optional<std::string> product_version_of_exe(std::span<const std::byte> file) {
    const auto sections = sections_of_exe(file);
    if (!sections) return std::nullopt;
    const auto rsrc = std::ranges::find(*sections, ".rsrc", &Section::name);
    if (rsrc == sections->end()) return std::nullopt;
    const std::span<const std::byte> tree = file.subspan(rsrc->file_offset, rsrc->size);
    // The resource tree: type, name, language; the first entry of type 16 (RT_VERSION) down to
    // its data, whose VS_FIXEDFILEINFO follows the 40 bytes of the VS_VERSION_INFO header.
    std::uint64_t directory = 0;
    for (int level = 0; level < 3; ++level) {
        if (directory + 16 > tree.size()) return std::nullopt;
        const std::uint64_t entries =
            read_le(tree, directory + 12, 2) + read_le(tree, directory + 14, 2);
        std::optional<std::uint64_t> next;
        for (std::uint64_t i = 0; i < entries && !next; ++i) {
            const std::uint64_t entry = directory + 16 + 8 * i;
            if (entry + 8 > tree.size()) return std::nullopt;
            if (level == 0 && read_le(tree, entry, 4) != 16) continue;
            next = read_le(tree, entry + 4, 4) & 0x7FFFFFFF;
        }
        if (!next) return std::nullopt;
        directory = *next;
    }
    if (directory + 8 > tree.size()) return std::nullopt;
    const std::uint64_t address = read_le(tree, directory, 4);
    if (address < rsrc->address) return std::nullopt;
    const std::uint64_t info = address - rsrc->address + 40;
    if (info + 24 > tree.size() || read_le(tree, info, 4) != 0xFEEF04BD) return std::nullopt;
    const std::uint64_t high = read_le(tree, info + 16, 4);
    const std::uint64_t low = read_le(tree, info + 20, 4);
    return std::to_string(high >> 16) + "." + std::to_string(high & 0xFFFF) + "." +
           std::to_string(low >> 16);
}

}  // namespace pelko::packer
