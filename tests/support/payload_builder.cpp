#include "payload_builder.h"

#include <zlib.h>

#include <stdexcept>

#include "payload/container/container_format.h"
#include "payload/container/read_payload.h"

namespace pelko::testing {

ContainerBuilder& ContainerBuilder::u16(std::uint16_t value) {
    bytes.push_back(static_cast<std::byte>(value & 0xFF));
    bytes.push_back(static_cast<std::byte>(value >> 8));
    return *this;
}

ContainerBuilder& ContainerBuilder::u32(std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::byte>((value >> (8 * i)) & 0xFF));
    return *this;
}

ContainerBuilder& ContainerBuilder::raw(std::string_view text) {
    for (const char c : text) bytes.push_back(static_cast<std::byte>(c));
    return *this;
}

ContainerBuilder& ContainerBuilder::entry(std::string_view name, std::string_view data) {
    append_entry_header(bytes, name, data.size());
    return raw(data);
}

std::vector<std::byte> raw_deflate(const std::vector<std::byte>& data, int level) {
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("deflateInit2");
    }
    // deflateBound can be a few bytes short for stored blocks of tiny inputs.
    std::vector<std::byte> out(deflateBound(&z, static_cast<uLong>(data.size())) + 64);
    z.next_in = const_cast<Bytef*>(reinterpret_cast<const Bytef*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int status = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    if (status != Z_STREAM_END) throw std::runtime_error("deflate");
    return out;
}

PartedStream raw_deflate_in_parts(const std::vector<std::byte>& data, std::size_t parts,
                                  std::span<const int> flushes) {
    z_stream z{};
    if (deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("deflateInit2");
    }
    std::vector<std::byte> out(deflateBound(&z, static_cast<uLong>(data.size())) + 64 * parts);
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const std::size_t part = data.size() / parts;
    int status = Z_OK;
    StreamIndex index{data.size(), {}};
    for (std::size_t k = 0; k < parts; ++k) {
        const std::size_t begin = part * k;
        index.pieces.push_back({z.total_out, begin});
        const std::size_t end = k + 1 == parts ? data.size() : part * (k + 1);
        z.next_in = const_cast<Bytef*>(reinterpret_cast<const Bytef*>(data.data() + begin));
        z.avail_in = static_cast<uInt>(end - begin);
        status = deflate(&z, k + 1 == parts   ? Z_FINISH
                             : k < flushes.size() ? flushes[k]
                                                  : Z_FULL_FLUSH);
    }
    out.resize(z.total_out);
    deflateEnd(&z);
    if (status != Z_STREAM_END) throw std::runtime_error("deflate");
    return {std::move(out), std::move(index)};
}

std::uint32_t crc32_of(std::span<const std::byte> bytes) {
    return static_cast<std::uint32_t>(crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()),
                                            static_cast<uInt>(bytes.size())));
}

std::vector<PayloadEntry> read_entries(const std::vector<std::byte>& container) {
    auto read = read_payload(container);
    if (!read) throw std::runtime_error(read.error().text());
    return std::vector<PayloadEntry>(read->begin(), read->end());
}

std::string outcome(const PayloadResult<EntryList>& read) {
    if (!read) return "error: " + read.error().text();
    std::string text;
    for (const PayloadEntry& e : *read) {
        std::uint64_t sum = 0;
        for (const std::byte b : e.data()) sum = sum * 31 + static_cast<std::uint8_t>(b);
        text += "|" + e.name() + "=" + std::to_string(e.size()) + ":" + std::to_string(sum);
    }
    return text;
}

}  // namespace pelko::testing
