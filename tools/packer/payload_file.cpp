#include "payload_file.h"

#include <cstdio>

#include "pe_image.h"
#include "host_machine.h"
#include "files.h"
#include "payload/container/container_format.h"
#include "payload/unpack/embedded_payload.h"
#include "payload/inflate/payload_checksum.h"
#include "payload/unpack/payload_section.h"
#include "payload/inflate/stream_index.h"
#include "payload/unpack/unpack_payload.h"

namespace pelko::packer {

namespace {

// The failure of a payload that cannot be read, as the tools word it: a file that is no payload
// at all is told so; a payload whose container the installer refuses gets the installer's words,
// and a damaged installer the CRC-32 it records.
Failure unreadable(const std::filesystem::path& input, const PayloadFailure& failure,
                   std::uint32_t recorded_crc32) {
    std::string text;
    switch (failure.kind) {
    case PayloadFailureKind::does_not_inflate:
        text = "not a payload or an installer (its data does not inflate)";
        break;
    case PayloadFailureKind::inflate_cut_short:
        text = "not a payload or an installer (its data ends before its stream does: cut short?)";
        break;
    case PayloadFailureKind::damaged: {
        char recorded[32];
        std::snprintf(recorded, sizeof recorded, " (CRC-32 recorded %08x)", recorded_crc32);
        text = failure.text() + recorded;
        break;
    }
    default:
        text = failure.text();
    }
    return Failure{path_text(input) + ": " + std::move(text)};
}

}  // namespace

OpenedPayload open_payload(const std::filesystem::path& input) {
    const WholeFile whole = read_whole(input, UINT64_MAX);
    const std::vector<std::byte>& file = whole.bytes;
    OpenedPayload opened;
    opened.stamp = whole.stamp;
    PayloadResult<EntryList> entries(std::unexpect);
    if (looks_like_exe(file)) {
        // As the installer reads itself: its section, the CRC-32 checked, the pieces inflated.
        const auto place = payload_section_of_exe(file);
        if (!place) throw Failure{path_text(input) + ": " + place.error()};
        const auto embedded =
            parse_payload_section(std::span(file).subspan(place->file_offset, place->size));
        if (!embedded) throw Failure{path_text(input) + ": payload section cut short"};
        opened.from_installer = true;
        opened.recorded_crc32 = embedded->recorded_crc32;
        opened.crc32 = *embedded->recorded_crc32;  // checked by the reading
        opened.stored_size = embedded->stored.size();
        const auto index = decode_stream_index(embedded->index, embedded->stored.size());
        if (index) opened.index_pieces = index->pieces.size();
        opened.product_version = product_version_of_exe(file);
        HostMachine machine;
        entries = unpack_embedded_payload(machine, *embedded);
    } else {
        opened.crc32 = payload_crc32(file);
        opened.stored_size = file.size();
        entries = unpack_payload(file, heap_memory());
    }
    if (!entries) throw unreadable(input, entries.error(), opened.crc32);
    opened.entries = std::move(*entries);
    for (const PayloadEntry& entry : opened.entries) {
        opened.container_size += entry_bytes(entry.name().size(), entry.size());
    }
    return opened;
}

std::vector<std::string> container_names(std::span<const std::byte> container) {
    std::vector<std::string> names;
    for (auto header = entry_header_at(container, 0); header;
         header = entry_header_at(container, header->next)) {
        names.emplace_back(header->name);
    }
    return names;
}

}  // namespace pelko::packer
