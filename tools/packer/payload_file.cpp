#include "payload_file.h"

#include <cstdio>

#include "exe_payload.h"
#include "files.h"
#include "payload/decompress_error.h"
#include "payload/little_endian.h"
#include "payload/payload_checksum.h"
#include "payload/stream_index.h"
#include "payload/unpack_payload.h"

namespace pelko::packer {

OpenedPayload open_payload(const std::filesystem::path& input) {
    const std::vector<std::byte> file = read_whole(input, UINT64_MAX);
    std::span<const std::byte> stored(file);
    OpenedPayload opened;
    if (looks_like_exe(file)) {
        const auto embedded = payload_of_exe(file);
        if (!embedded) throw Failure{path_text(input) + ": " + embedded.error()};
        stored = embedded->stored;
        opened.from_installer = true;
        opened.recorded_crc32 = embedded->recorded_crc32;
        if (const std::uint32_t computed = payload_crc32(stored);
            computed != embedded->recorded_crc32) {
            char text[96];
            std::snprintf(text, sizeof text,
                          "payload damaged (CRC-32 recorded %08x, computed %08x)",
                          embedded->recorded_crc32, computed);
            throw Failure{path_text(input) + ": " + text};
        }
        opened.crc32 = embedded->recorded_crc32;  // just computed, and equal
        const auto index = decode_stream_index(embedded->recorded_index, stored.size());
        if (index) opened.index_pieces = index->pieces.size();
        opened.product_version = product_version_of_exe(file);
    }
    if (!opened.from_installer) opened.crc32 = payload_crc32(stored);
    opened.stored_size = stored.size();
    auto entries = unpack_payload(stored, heap_memory());
    if (!entries) {
        // A file that is no payload at all is told so; a payload whose container the installer
        // refuses gets the installer's own words.
        std::string text = entries.error().text;
        if (text.starts_with(kDecompressErrorStart)) {
            text = std::string("not a payload or an installer (") +
                   (text.starts_with("DecompressError { status: FailedCannotMakeProgress")
                        ? "its data ends before its stream does: cut short?)"
                        : "its data does not inflate)");
        }
        throw Failure{path_text(input) + ": " + text};
    }
    opened.entries = std::move(*entries);
    for (const PayloadEntry& entry : opened.entries) {
        opened.container_size += 6 + entry.name().size() + entry.size();
    }
    return opened;
}

std::vector<std::string> container_names(std::span<const std::byte> container) {
    std::vector<std::string> names;
    std::uint64_t at = 0;
    while (at + 2 <= container.size()) {
        const auto name_at = static_cast<std::size_t>(at + 2);
        const std::uint64_t name_length = read_le(container, name_at - 2, 2);
        if (at + 6 + name_length > container.size()) break;
        const auto length_at = name_at + static_cast<std::size_t>(name_length);
        const auto* name = reinterpret_cast<const char*>(container.data() + name_at);
        names.emplace_back(name, length_at - name_at);
        at += 6 + name_length + read_le(container, length_at, 4);
    }
    return names;
}

}  // namespace pelko::packer
