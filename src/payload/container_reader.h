#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "payload/payload_entry.h"
#include "payload/little_endian.h"
#include "payload/payload_name.h"
#include "payload/staging_collision.h"
#include "platform/os_string.h"
#include "platform/text_format.h"
#include "shared/setup_failure.h"

namespace pelko {

// A container read front to back, from memory or straight out of the decoder.
// `read(out)` fills `out` from the current position and returns how many bytes it gave; fewer
// than asked only where the container ends. `read_data(length)` gives the next `length` bytes
// in a buffer (null for 0), or the failure: "payload cut short", having read nothing, when fewer
// are left, or kNoMemoryText when the buffer cannot be had.
template <class Source>
concept ContainerSource = requires(Source& s, std::span<std::byte> out, std::uint64_t length) {
    { s.read(out) } -> std::same_as<std::size_t>;
    { s.read_data(length) } -> std::same_as<StepResult<std::shared_ptr<const std::byte[]>>>;
};

inline constexpr std::string_view kCutShortText = "payload cut short";
// The failure of a buffer for `{}` bytes of the payload that cannot be had.
inline constexpr std::string_view kNoMemoryText = "not enough memory for the payload ({} bytes)";

// Splits a container into its entries, in container order, with the checks of read_payload
// (see read_payload.h) made in their fixed order; the first fault ends the reading and no entry
// is returned. A container that reads whole is refused still when an entry's staging file is a
// file of the payload (see staging_collision.h): "bad name {}" with the first such entry's name.
template <ContainerSource Source>
StepResult<std::vector<PayloadEntry>> read_container(Source& source) {

    std::vector<PayloadEntry> entries;
    for (;;) {
        std::array<std::byte, 2> name_length;
        const std::size_t got = source.read(name_length);
        if (got == 0) break;
        if (got < name_length.size()) return fail(std::string(kCutShortText));

        std::string name(read_le(name_length, 0, 2), '\0');
        if (source.read(std::as_writable_bytes(std::span(name))) < name.size()) {
            return fail(std::string(kCutShortText));
        }
        if (!is_valid_utf8(name)) return fail("name");

        std::array<std::byte, 4> data_length;
        if (source.read(data_length) < data_length.size()) return fail(std::string(kCutShortText));
        const std::uint64_t length = read_le(data_length, 0, 4);
        if (!is_acceptable_payload_name(name)) return fail(format_text("bad name {}", name));

        StepResult<std::shared_ptr<const std::byte[]>> data = source.read_data(length);
        if (!data) return std::unexpected(std::move(data.error()));
        entries.emplace_back(std::move(name), std::move(*data), 0, static_cast<std::size_t>(length));
    }

    std::vector<std::string_view> names;
    names.reserve(entries.size());
    for (const PayloadEntry& entry : entries) names.push_back(entry.name());
    if (const auto collisions = find_staging_collisions(names); !collisions.empty()) {
        return fail(format_text("bad name {}", names[collisions.front().entry]));
    }
    return entries;
}

}  // namespace pelko
