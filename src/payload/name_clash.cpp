#include "payload/name_clash.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

#include "payload/file_name_key.h"
#include "payload/staging_path.h"

namespace pelko {
namespace {

// Memory for `count` elements of a trivial type, zeroed.
template <class T>
std::expected<SharedBytes, NoMemory> zeroed(BufferAllocator& memory, std::uint64_t count) {
    auto room = allocate_elements<T>(memory, count);
    if (room) std::memset(room->get(), 0, static_cast<std::size_t>(count) * sizeof(T));
    return room;
}

template <class T>
T* as(const SharedBytes& room) {
    return reinterpret_cast<T*>(room.get());
}

// The keys of every target and of every directory above one, each the first `length` units of
// an entry's key, in one open-addressed table; a key already there keeps its first entry.
class KeyTable {
public:
    struct Slot {
        std::uint64_t entry_plus_one;  // 0: empty
        std::uint32_t length;
        std::uint32_t directory;
    };

    KeyTable(const char16_t* keys, const std::uint64_t* starts, SharedBytes slots,
             std::uint64_t capacity)
        : keys_(keys), starts_(starts), room_(std::move(slots)), slots_(as<Slot>(room_)),
          mask_(capacity - 1) {}

    void insert(std::uint64_t entry, std::uint32_t length, bool directory) {
        const char16_t* key = keys_ + starts_[entry];
        for (std::uint64_t at = hash(key, length, directory) & mask_;; at = (at + 1) & mask_) {
            Slot& slot = slots_[at];
            if (slot.entry_plus_one == 0) {
                slot = {entry + 1, length, directory};
                return;
            }
            if (matches(slot, key, length, directory)) return;
        }
    }
    std::optional<std::size_t> find(const char16_t* key, std::uint32_t length,
                                    bool directory) const {
        for (std::uint64_t at = hash(key, length, directory) & mask_;; at = (at + 1) & mask_) {
            const Slot& slot = slots_[at];
            if (slot.entry_plus_one == 0) return std::nullopt;
            if (matches(slot, key, length, directory)) {
                return static_cast<std::size_t>(slot.entry_plus_one - 1);
            }
        }
    }

private:
    static std::uint64_t hash(const char16_t* key, std::uint32_t length, bool directory) {
        std::uint64_t h = 0xcbf29ce484222325ULL ^ (directory ? 1 : 0);
        for (std::uint32_t i = 0; i < length; ++i) h = (h ^ key[i]) * 0x100000001b3ULL;
        return h;
    }
    bool matches(const Slot& slot, const char16_t* key, std::uint32_t length,
                 bool directory) const {
        return slot.length == length && (slot.directory != 0) == directory &&
               std::equal(key, key + length, keys_ + starts_[slot.entry_plus_one - 1]);
    }

    const char16_t* keys_;
    const std::uint64_t* starts_;
    SharedBytes room_;
    Slot* slots_;
    std::uint64_t mask_;
};

}  // namespace

std::expected<void, NoMemory> find_name_clashes(
    std::size_t count, const std::function<std::string_view(std::size_t)>& name_at,
    BufferAllocator& memory, const std::function<bool(const NameClash&)>& on_clash) {
    if (count == 0) return {};
    // A key has at most one unit per byte of its name; the staging name four bytes more.
    std::uint64_t total = 0;
    std::uint64_t longest = 0;
    for (std::size_t i = 0; i < count; ++i) {
        total += name_at(i).size();
        longest = std::max<std::uint64_t>(longest, name_at(i).size());
    }
    auto keys_room = zeroed<char16_t>(memory, total);
    if (!keys_room) return std::unexpected(keys_room.error());
    auto starts_room = zeroed<std::uint64_t>(memory, std::uint64_t{count} + 1);
    if (!starts_room) return std::unexpected(starts_room.error());
    char16_t* const keys = as<char16_t>(*keys_room);
    std::uint64_t* const starts = as<std::uint64_t>(*starts_room);
    std::uint64_t separators = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string_view name = name_at(i);
        const std::size_t length =
            write_file_name_key(name, std::span(keys + starts[i], name.size()));
        const char16_t* key = keys + starts[i];
        separators += static_cast<std::uint64_t>(std::count(key, key + length, u'\\'));
        starts[i + 1] = starts[i] + length;
    }
    const auto key_length = [&](std::size_t i) {
        return static_cast<std::uint32_t>(starts[i + 1] - starts[i]);
    };

    // Twice as many slots as keys at least, so that a probe soon meets an empty one.
    std::uint64_t capacity = 16;
    while (capacity < 2 * (std::uint64_t{count} + separators)) capacity *= 2;
    auto slots = zeroed<KeyTable::Slot>(memory, capacity);
    if (!slots) return std::unexpected(slots.error());
    KeyTable table(keys, starts, std::move(*slots), capacity);
    for (std::size_t i = 0; i < count; ++i) {
        table.insert(i, key_length(i), false);
        for (std::uint32_t at = 0; at < key_length(i); ++at) {
            if (keys[starts[i] + at] == u'\\') table.insert(i, at, true);
        }
    }

    auto staging_room = zeroed<char>(memory, longest + 4);
    if (!staging_room) return std::unexpected(staging_room.error());
    auto staging_key_room = zeroed<char16_t>(memory, longest + 4);
    if (!staging_key_room) return std::unexpected(staging_key_room.error());
    char* const staging = as<char>(*staging_room);
    char16_t* const staging_key = as<char16_t>(*staging_key_room);
    for (std::size_t i = 0; i < count; ++i) {
        const char16_t* key = keys + starts[i];
        if (const auto directory = table.find(key, key_length(i), true)) {
            if (!on_clash({NameClashKind::file_is_directory, i, *directory})) return {};
        }
        const std::size_t staged_size = staging_name(name_at(i)).copy_to(staging);
        const auto length = static_cast<std::uint32_t>(write_file_name_key(
            std::string_view(staging, staged_size), std::span(staging_key, staged_size)));
        std::optional<std::size_t> file;
        if (length == key_length(i) && std::equal(key, key + length, staging_key)) {
            file = i;
        } else {
            file = table.find(staging_key, length, false);
        }
        if (file && !on_clash({NameClashKind::staging_is_file, i, *file})) return {};
        if (const auto directory = table.find(staging_key, length, true)) {
            if (!on_clash({NameClashKind::staging_is_directory, i, *directory})) return {};
        }
    }
    return {};
}

}  // namespace pelko
