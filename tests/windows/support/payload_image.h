#pragma once

// Test helpers for the payload inside a built installer: find its PE section (with the packer's
// reader), replace or damage the stored bytes in a copy of the executable (streams made with
// payload_builder.h). Header only.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "exe_payload.h"
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

// Found the way pelko-pack finds it, through the PE section table.
inline std::optional<PayloadSection> find_payload_section(const std::string& image) {
    const auto bytes = std::as_bytes(std::span(image));
    const auto payload = packer::payload_of_exe(bytes);
    if (!payload) return std::nullopt;
    const auto stored_at = static_cast<std::size_t>(payload->stored.data() - bytes.data());
    return PayloadSection{stored_at - 8, payload->stored.size()};
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
