#pragma once

// Test helpers for the payload inside a built installer: its section found with the packer's PE
// reader and read with the installer's own parser; a copy of the executable given another
// stored payload (streams made with payload_builder.h). Header only.
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "payload/unpack/payload_section.h"
#include "payload_builder.h"
#include "pe_image.h"

namespace pelko::test {

// The contents of the ".payload" section in an executable image (see payload_section.h).
inline std::optional<std::span<const std::byte>> payload_section_in(const std::string& image) {
    const auto bytes = std::as_bytes(std::span(image));
    const auto place = packer::payload_section_of_exe(bytes);
    if (!place) return std::nullopt;
    return bytes.subspan(place->file_offset, place->size);
}

// The payload of an executable image, viewing the image; and where its stored stream starts in
// the image.
inline std::optional<EmbeddedPayload> payload_in(const std::string& image) {
    const auto section = payload_section_in(image);
    return section ? parse_payload_section(*section) : std::nullopt;
}
inline std::size_t stored_offset(const std::string& image, const EmbeddedPayload& payload) {
    return static_cast<std::size_t>(payload.stored.data() -
                                    reinterpret_cast<const std::byte*>(image.data()));
}

// Puts another stored payload, without an index, into an executable image: a section made as
// the packer makes it, padded with zeros to the old one's size. False when it does not fit.
inline bool replace_payload(std::string& image, const std::vector<std::byte>& stream) {
    const auto section = payload_section_in(image);
    if (!section) return false;
    std::vector<std::byte> contents = encode_payload_section(stream, {});
    if (contents.size() > section->size()) return false;
    contents.resize(section->size(), std::byte{0});
    const auto at = static_cast<std::size_t>(section->data() -
                                             reinterpret_cast<const std::byte*>(image.data()));
    image.replace(at, contents.size(), testing::as_string(contents));
    return true;
}

}  // namespace pelko::test
