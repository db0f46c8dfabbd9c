#pragma once

// Test helpers for the payload inside a built installer: find its PE section, replace or damage
// the stored bytes in a copy of the executable (streams made with payload_builder.h). Header
// only.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "payload_builder.h"

namespace pelko::test {

// The ".payload" section of an executable image: the file offset of its contents, which are
// the CRC-32 and the length of the stored payload (4 bytes each, little-endian) and then the
// stored payload, and that length.
struct PayloadSection {
    std::size_t offset = 0;
    std::size_t size = 0;  // of the stored payload
    std::size_t stored_at() const { return offset + 8; }
};

inline std::uint32_t le32(const std::string& b, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

// Found through the PE section table.
inline std::optional<PayloadSection> find_payload_section(const std::string& image) {
    if (image.size() < 0x40 || image[0] != 'M' || image[1] != 'Z') return std::nullopt;
    const std::size_t pe = le32(image, 0x3C);
    if (pe + 24 > image.size() || image.compare(pe, 4, std::string("PE\0\0", 4)) != 0) {
        return std::nullopt;
    }
    const std::size_t sections = le32(image, pe + 6) & 0xFFFF;
    const std::size_t optional_size = le32(image, pe + 20) & 0xFFFF;
    for (std::size_t i = 0; i < sections; ++i) {
        const std::size_t header = pe + 24 + optional_size + 40 * i;
        if (header + 40 > image.size()) return std::nullopt;
        if (image.compare(header, 8, std::string(".payload", 8)) != 0) continue;
        const std::size_t virtual_size = le32(image, header + 8);
        const std::size_t raw_size = le32(image, header + 16);
        const std::size_t raw_at = le32(image, header + 20);
        const std::size_t size = virtual_size != 0 && virtual_size < raw_size ? virtual_size
                                                                              : raw_size;
        if (raw_at + size > image.size() || size < 8) return std::nullopt;
        const std::size_t stored = le32(image, raw_at + 4);
        if (stored > size - 8) return std::nullopt;
        return PayloadSection{raw_at, stored};
    }
    return std::nullopt;
}

// Puts another stored payload into an executable image: the stream, then zeros up to the old
// length (inflating stops at the stream's end), and the CRC-32 of that whole range in front.
// False when the stream does not fit.
inline bool replace_payload(std::string& image, const std::vector<std::byte>& stream) {
    const auto section = find_payload_section(image);
    if (!section || stream.size() > section->size) return false;
    std::vector<std::byte> stored = stream;
    stored.resize(section->size, std::byte{0});
    const std::uint32_t crc = testing::crc32_of(stored);
    for (int i = 0; i < 4; ++i) image[section->offset + i] = static_cast<char>((crc >> (8 * i)) & 0xFF);
    image.replace(section->stored_at(), stored.size(), testing::as_string(stored));
    return true;
}

}  // namespace pelko::test
