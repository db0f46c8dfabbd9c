#pragma once

// Test helpers for the payload inside a built installer: find its PE section, replace or damage
// the stored bytes in a copy of the executable. Header only.
#include <windows.h>
#include <zlib.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

inline std::uint32_t crc_of(std::string_view bytes) {
    return static_cast<std::uint32_t>(
        crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

// One raw DEFLATE stream (no wrapper) of the bytes.
inline std::string raw_deflate(std::string_view data) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
    z.next_in = const_cast<Bytef*>(reinterpret_cast<const Bytef*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(out.size() - z.avail_out);
    deflateEnd(&z);
    return out;
}

// One container entry: name length (16-bit LE), name, data length (32-bit LE), data.
inline std::string container_entry(std::string_view name, std::string_view data) {
    std::string e;
    e.push_back(static_cast<char>(name.size() & 0xFF));
    e.push_back(static_cast<char>(name.size() >> 8));
    e += name;
    for (int i = 0; i < 4; ++i) e.push_back(static_cast<char>((data.size() >> (8 * i)) & 0xFF));
    e += data;
    return e;
}

// Puts another stored payload into an executable image: the stream, then zeros up to the old
// length (inflating stops at the stream's end), and the CRC-32 of that whole range in front.
// False when the stream does not fit.
inline bool replace_payload(std::string& image, std::string_view stream) {
    const auto section = find_payload_section(image);
    if (!section || stream.size() > section->size) return false;
    std::string stored(stream);
    stored.resize(section->size, '\0');
    const std::uint32_t crc = crc_of(stored);
    for (int i = 0; i < 4; ++i) image[section->offset + i] = static_cast<char>((crc >> (8 * i)) & 0xFF);
    image.replace(section->stored_at(), stored.size(), stored);
    return true;
}

}  // namespace pelko::test
