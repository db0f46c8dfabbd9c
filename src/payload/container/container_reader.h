#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "payload/container/container_format.h"
#include "payload/names/name_clash.h"
#include "payload/container/payload_entry.h"
#include "payload/container/payload_failure.h"
#include "payload/names/payload_name.h"
#include "platform/buffer_allocator.h"
#include "platform/os_string.h"

namespace pelko {

// Where an entry's bytes are: `storage` from `offset` (no storage for no bytes).
struct EntryData {
    SharedBytes storage;
    std::size_t offset = 0;
};

// A container read front to back, from memory or straight out of the decoder.
// `read(out)` fills `out` from the current position and returns how many bytes it gave; fewer
// than asked only where the container ends. `read_data(length)` gives the next `length` bytes
// in a buffer, or the failure: cut_short, having read nothing, when fewer are left, or no_memory
// when the buffer cannot be had.
template <class Source>
concept ContainerSource = requires(Source& s, std::span<std::byte> out, std::uint64_t length) {
    { s.read(out) } -> std::same_as<std::size_t>;
    { s.read_data(length) } -> std::same_as<PayloadResult<EntryData>>;
};

// The failure of memory for bytes of the payload (its buffers, its entry list, the tables of its
// name check) that cannot be had.
inline std::unexpected<PayloadFailure> no_memory_failure(NoMemory wanted) {
    return payload_fail(PayloadFailure::no_memory(wanted.bytes));
}

// Splits a container into its entries, in container order, with the checks of read_payload
// (see read_payload.h) made in their fixed order; the first fault ends the reading and no entry
// is returned. A container that reads whole is refused still when two of its names clash under
// Windows' name rules (see name_clash.h): bad_name, with the name of the first entry that makes
// a clash. The entry list and the name check's tables come from `memory`.
template <ContainerSource Source>
PayloadResult<EntryList> read_container(Source& source, BufferAllocator& memory) {
    EntryList entries(memory);
    // A source that can count its entries first gets a list of their exact size, not one grown
    // by doubling (up to twice the room, and both rooms at once while it grows). Without that
    // room, the list grows as it reads, and fails (or not) where it would have.
    if constexpr (requires { source.entries_ahead(); }) {
        (void)entries.reserve(source.entries_ahead());
    }
    for (;;) {
        std::array<std::byte, kNameLengthBytes> name_length;
        const std::size_t got = source.read(name_length);
        if (got == 0) break;
        if (got < name_length.size()) return payload_fail(PayloadFailureKind::cut_short);
        std::string name(read_le(name_length, 0, kNameLengthBytes), '\0');
        if (source.read(std::as_writable_bytes(std::span(name))) < name.size()) {
            return payload_fail(PayloadFailureKind::cut_short);
        }
        if (!is_valid_utf8(name)) return payload_fail(PayloadFailureKind::name_not_utf8);
        std::array<std::byte, kDataLengthBytes> data_length;
        if (source.read(data_length) < data_length.size()) {
            return payload_fail(PayloadFailureKind::cut_short);
        }
        const std::uint64_t length = read_le(data_length, 0, kDataLengthBytes);
        if (!is_acceptable_payload_name(name)) return payload_fail(PayloadFailure::bad(name));
        PayloadResult<EntryData> data = source.read_data(length);
        if (!data) return std::unexpected(std::move(data.error()));
        if (auto added = entries.append(PayloadEntry(std::move(name), std::move(data->storage),
                                                     data->offset,
                                                     static_cast<std::size_t>(length)));
            !added) {
            return no_memory_failure(added.error());
        }
    }
    std::optional<std::size_t> clashing;
    const auto checked = find_name_clashes(
        entries.size(), [&](std::size_t i) -> std::string_view { return entries[i].name(); },
        memory, [&](const NameClash& clash) {
            clashing = clash.entry;
            return false;
        });
    if (!checked) return no_memory_failure(checked.error());
    if (clashing) return payload_fail(PayloadFailure::bad(entries[*clashing].name()));
    return entries;
}

}  // namespace pelko
