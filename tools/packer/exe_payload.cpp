#include "exe_payload.h"

#include <cstdint>
#include <cstring>

#include "payload/little_endian.h"
#include "payload/stream_index.h"

namespace pelko::packer {
bool looks_like_exe(std::span<const std::byte> file) {
    return file.size() >= 2 && file[0] == std::byte{'M'} && file[1] == std::byte{'Z'};
}

std::expected<SectionPlace, std::string> payload_section_of_exe(std::span<const std::byte> file) {
    const auto bad = [](const char* why) { return std::unexpected(std::string(why)); };
    if (!looks_like_exe(file) || file.size() < 0x40) return bad("not a Windows executable");
    const std::uint64_t pe = read_le(file, 0x3C, 4);
    if (pe + 24 > file.size() || read_le(file, pe, 4) != 0x00004550) {
        return bad("not a PE executable");
    }
    const std::uint64_t sections = read_le(file, pe + 6, 2);
    const std::uint64_t optional_size = read_le(file, pe + 20, 2);
    const std::uint64_t table = pe + 24 + optional_size;
    for (std::uint64_t i = 0; i < sections; ++i) {
        const std::uint64_t header = table + 40 * i;
        if (header + 40 > file.size()) return bad("section table cut short");
        char name[9] = {};
        std::memcpy(name, file.data() + header, 8);
        if (std::strcmp(name, kPayloadSection) != 0) continue;
        const std::uint64_t virtual_size = read_le(file, header + 8, 4);
        const std::uint64_t raw_size = read_le(file, header + 16, 4);
        const std::uint64_t raw_at = read_le(file, header + 20, 4);
        const std::uint64_t size = virtual_size != 0 && virtual_size < raw_size ? virtual_size
                                                                                : raw_size;
        if (raw_at + size > file.size()) return bad("payload section runs past the file's end");
        return SectionPlace{raw_at, size};
    }
    return bad("the executable has no .payload section");
}

std::expected<ExePayload, std::string> payload_of_exe(std::span<const std::byte> file) {
    const auto place = payload_section_of_exe(file);
    if (!place) return std::unexpected(place.error());
    const auto section = file.subspan(place->file_offset, place->size);
    if (section.size() < 8) return std::unexpected(std::string("payload section cut short"));
    const std::uint64_t length = read_le(section, 4, 4);
    if (length > section.size() - 8) {
        return std::unexpected(std::string("payload runs past its section's end"));
    }
    // The index says how long it is: its piece count comes first (see payload/stream_index.h).
    std::span<const std::byte> rest = section.subspan(8 + length);
    std::span<const std::byte> index;
    if (rest.size() >= kIndexHeaderSize + kIndexCrcSize) {
        const std::uint64_t pieces = read_le(rest, 0, 4);
        const std::uint64_t size = kIndexHeaderSize + pieces * kIndexPieceSize + kIndexCrcSize;
        if (pieces <= kMaxIndexPieces && size <= rest.size()) index = rest.first(size);
    }
    return ExePayload{section.subspan(8, length), static_cast<std::uint32_t>(read_le(section, 0, 4)),
                      index};
}

}  // namespace pelko::packer
