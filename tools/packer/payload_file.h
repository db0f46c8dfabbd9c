#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "payload/container/payload_entry.h"
#include "source_file.h"

namespace pelko::packer {

// A payload file, or the payload of a built installer, read as the installer reads it.
struct OpenedPayload {
    EntryList entries{heap_memory()};
    std::uint64_t container_size = 0;
    std::uint64_t stored_size = 0;
    std::uint32_t crc32 = 0;  // of the stored payload
    bool from_installer = false;
    // Of an installer: the CRC-32 recorded beside the payload (equal to `crc32`, else the
    // installer is refused as damaged), and the number of pieces of its recorded index (nothing
    // when it has none that fits the payload; the installer inflates in pieces from two on).
    std::optional<std::uint32_t> recorded_crc32;
    std::optional<std::size_t> index_pieces;
    // Of an installer: the product version of its version resource.
    std::optional<std::string> product_version;
    // Of the file, as it was read.
    FileStamp stamp;
};

// Reads a payload file or a built installer (a file that starts like a Windows executable).
// Throws Failure, with the file's name, when it is no payload the installer would install: "not
// a payload or an installer" for data that does not inflate, the installer's own failure text
// for a container it refuses.
OpenedPayload open_payload(const std::filesystem::path& input);

// The names of a container's entries, as far as its structure reads.
std::vector<std::string> container_names(std::span<const std::byte> container);

}  // namespace pelko::packer
