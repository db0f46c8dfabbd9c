#include "payload/names/name_clash.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

#include "payload/names/file_name_key.h"
#include "payload/names/short_alias.h"
#include "payload/names/staging_path.h"
#include "platform/function_ref.h"
#include "platform/path.h"

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

// FNV-1a over key units.
constexpr std::uint64_t kHashBasis = 0xcbf29ce484222325ULL;
constexpr std::uint64_t kHashPrime = 0x100000001b3ULL;

// The keys of every target and of every directory above one, each the first `length` units of
// an entry's key, in one open-addressed table; a key already there keeps its first entry.
class KeyTable {
public:
    // Eight bytes: a payload's entries are numbered within 32 bits (see find_name_clashes), and
    // a key is no longer than its name, whose length the container gives in 16 bits.
    struct Slot {
        std::uint32_t entry_plus_one;  // 0: empty
        std::uint32_t length_and_directory;  // the key's length, twice, plus 1 for a directory
    };
    static constexpr std::uint64_t kMaxEntries = UINT32_MAX - 1;

    KeyTable(const char16_t* keys, const std::uint64_t* starts, SharedBytes slots,
             std::uint64_t capacity)
        : keys_(keys), starts_(starts), room_(std::move(slots)), slots_(as<Slot>(room_)),
          mask_(capacity - 1) {}

    void insert(std::uint64_t entry, std::uint32_t length, bool directory) {
        const char16_t* key = keys_ + starts_[entry];
        for (std::uint64_t at = hash(key, length, directory) & mask_;; at = (at + 1) & mask_) {
            Slot& slot = slots_[at];
            if (slot.entry_plus_one == 0) {
                slot = {static_cast<std::uint32_t>(entry + 1), packed(length, directory)};
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
    static std::uint32_t packed(std::uint32_t length, bool directory) {
        return 2 * length + (directory ? 1 : 0);
    }
    static std::uint64_t hash(const char16_t* key, std::uint32_t length, bool directory) {
        std::uint64_t h = kHashBasis ^ (directory ? 1 : 0);
        for (std::uint32_t i = 0; i < length; ++i) h = (h ^ key[i]) * kHashPrime;
        return h;
    }
    bool matches(const Slot& slot, const char16_t* key, std::uint32_t length,
                 bool directory) const {
        return slot.length_and_directory == packed(length, directory) &&
               std::equal(key, key + length, keys_ + starts_[slot.entry_plus_one - 1]);
    }

    const char16_t* keys_;
    const std::uint64_t* starts_;
    SharedBytes room_;
    Slot* slots_;
    std::uint64_t mask_;
};

// One component of a name in lockstep with the name's key: its text (trailing dots and blanks
// dropped), where its own key is, and its level (the key of the folder that holds it: the key's
// first `level` units) with that level's hash.
struct Component {
    std::string_view text;
    std::uint32_t level;
    std::uint64_t level_hash;
    std::uint32_t key_end;
    bool directory;
};

// Calls `each` for every component of `name` whose key is `key` (the components that the key
// drops, all dots and blanks, are skipped, as the key skips them).
template <class Each>
void for_each_component(std::string_view name, const char16_t* key, std::uint32_t key_length,
                        Each each) {
    std::uint64_t hash = kHashBasis;  // of the key's first `level` units
    std::uint32_t level = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = name.find_first_of("\\/", start);
        const std::string_view text = without_trailing_dots_and_blanks(
            name.substr(start, end == std::string_view::npos ? end : end - start));
        if (!text.empty()) {
            std::uint32_t key_end = level == 0 ? 0 : level + 1;
            while (key_end < key_length && key[key_end] != u'\\') ++key_end;
            each(Component{text, level, hash, key_end, end != std::string_view::npos});
            for (std::uint32_t at = level; at < key_end; ++at) hash = (hash ^ key[at]) * kHashPrime;
            level = key_end;
        }
        if (end == std::string_view::npos) return;
        start = end + 1;
    }
}

// A component in short-name form (see short_alias.h) that may be another's alias: which entry it
// belongs to, its folder and its text (the staging file's is made again when needed).
struct AliasCandidate {
    std::uint64_t level_hash;
    std::uint64_t entry;
    std::uint32_t level;
    bool staging;
    std::string_view text;  // of a component of the name; empty for the staging file
};

// Finds, for each entry, the first other entry that holds, in the same folder, a name whose
// alias may be one of the entry's components in short-name form or its staging file's name.
// `partner[i]` becomes that entry + 1 (0: none); `by_staging[i]` whether it was the staging file.
class AliasCheck {
public:
    // Each buffer has room for the longest name and four bytes (units) more.
    AliasCheck(std::size_t count, FunctionRef<std::string_view(std::size_t)> name_at,
               const char16_t* keys, const std::uint64_t* starts, const KeyTable& table,
               std::array<char*, 2> staging, std::array<char16_t*, 2> scratch_keys)
        : count_(count), name_at_(name_at), keys_(keys), starts_(starts), table_(table),
          staging_(staging), scratch_keys_(scratch_keys) {}

    // The components in short-name form; NoMemory when their list cannot be had. Payloads hold
    // few if any: a name without a '~' holds none.
    std::expected<void, NoMemory> collect(BufferAllocator& memory) {
        std::uint64_t found = 0;
        auto count = [&](std::size_t, const Component&, bool) { ++found; };
        each_name(true, count);
        if (found == 0) return {};
        auto room = allocate_elements<AliasCandidate>(memory, found);
        if (!room) return std::unexpected(room.error());
        candidates_room_ = std::move(*room);
        candidates_ = reinterpret_cast<AliasCandidate*>(candidates_room_.get());
        auto keep = [&](std::size_t i, const Component& c, bool staging) {
            candidates_[size_++] = {c.level_hash, i, c.level, staging,
                                    staging ? std::string_view() : c.text};
        };
        each_name(true, keep);
        return {};
    }

    bool any() const { return size_ != 0; }

    // Meets every name that gets an alias with the candidates of its folder.
    void match(std::uint64_t* partner, bool* by_staging) {
        auto meet = [&](std::size_t i, const Component& other, bool) {
            for (const AliasCandidate* c = candidates_; c != candidates_ + size_; ++c) {
                if (c->level_hash != other.level_hash || c->level != other.level ||
                    !std::equal(keys_ + starts_[c->entry], keys_ + starts_[c->entry] + c->level,
                                keys_ + starts_[i])) {
                    continue;
                }
                const std::string_view short_form =
                    c->staging ? staging_text(name_at_(c->entry), staging_[1]) : c->text;
                if (!could_be_short_alias(short_form, other.text)) continue;
                // Not when the two are one name (a name given twice, or the component itself).
                if (same_file(short_form, other.text)) continue;
                if (partner[c->entry] == 0 || partner[c->entry] > i + 1) {
                    partner[c->entry] = i + 1;
                    by_staging[c->entry] = c->staging;
                }
            }
        };
        each_name(false, meet);
    }

private:
    using Each = FunctionRef<void(std::size_t, const Component&, bool)>;

    // Calls `each(entry, component, is_staging_file)` for the components of every name, and for
    // its staging file's name, that are in short-name form (`short_forms`) or that get an alias;
    // a folder only at the first entry that holds it.
    void each_name(bool short_forms, Each each) {
        const auto wanted = [&](std::string_view text) {
            return short_forms ? is_short_name_form(text) : gets_short_alias(text);
        };
        for (std::size_t i = 0; i < count_; ++i) {
            const std::string_view name = name_at_(i);
            if (short_forms && name.find('~') == std::string_view::npos) continue;
            const char16_t* key = keys_ + starts_[i];
            const auto key_length = static_cast<std::uint32_t>(starts_[i + 1] - starts_[i]);
            for_each_component(name, key, key_length, [&](const Component& c) {
                if (c.directory && table_.find(key, c.key_end, true) != std::optional<std::size_t>(i)) {
                    return;
                }
                if (wanted(c.text)) each(i, c, false);
                if (c.directory) return;
                Component staged = c;
                staged.text = staging_text(name, staging_[0]);
                if (wanted(staged.text)) each(i, staged, true);
            });
        }
    }

    // The last component of the name's staging file, trailing dots and blanks dropped, written
    // to `buffer`.
    static std::string_view staging_text(std::string_view name, char* buffer) {
        const std::size_t size = staging_name(name).copy_to(buffer);
        return without_trailing_dots_and_blanks(last_component(std::string_view(buffer, size)));
    }

    // Whether two components name one file under Windows' name rules.
    bool same_file(std::string_view a, std::string_view b) {
        const std::size_t a_length = write_file_name_key(a, {scratch_keys_[0], a.size()});
        const std::size_t b_length = write_file_name_key(b, {scratch_keys_[1], b.size()});
        return a_length == b_length &&
               std::equal(scratch_keys_[0], scratch_keys_[0] + a_length, scratch_keys_[1]);
    }

    std::size_t count_;
    FunctionRef<std::string_view(std::size_t)> name_at_;
    const char16_t* keys_;
    const std::uint64_t* starts_;
    const KeyTable& table_;
    std::array<char*, 2> staging_;  // [0]: the name that gets an alias; [1]: the candidate
    std::array<char16_t*, 2> scratch_keys_;
    SharedBytes candidates_room_;
    AliasCandidate* candidates_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace

std::expected<void, NoMemory> find_name_clashes(
    std::size_t count, FunctionRef<std::string_view(std::size_t)> name_at,
    BufferAllocator& memory, FunctionRef<bool(const NameClash&)> on_clash) {
    if (count == 0) return {};
    // So many entries could not be listed in memory to begin with.
    if (count > KeyTable::kMaxEntries) return std::unexpected(NoMemory{UINT64_MAX});
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
    // At most as many directory keys as separators past the part of each key that is the same
    // as the key before it: a directory first met in an entry has its separator there. Entries
    // of one folder mostly follow one another, so this is near the number of folders.
    std::uint64_t directories = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string_view name = name_at(i);
        const std::size_t length =
            write_file_name_key(name, std::span(keys + starts[i], name.size()));
        const char16_t* key = keys + starts[i];
        const char16_t* new_part = key;
        if (i > 0) {
            const char16_t* previous = keys + starts[i - 1];
            const std::size_t common = std::min<std::uint64_t>(length, starts[i] - starts[i - 1]);
            new_part = std::mismatch(key, key + common, previous).first;
        }
        directories += static_cast<std::uint64_t>(std::count(new_part, key + length, u'\\'));
        starts[i + 1] = starts[i] + length;
    }
    const auto key_length = [&](std::size_t i) {
        return static_cast<std::uint32_t>(starts[i + 1] - starts[i]);
    };

    // Twice as many slots as keys at least, so that a probe soon meets an empty one.
    std::uint64_t capacity = 16;
    while (capacity < 2 * (std::uint64_t{count} + directories)) capacity *= 2;
    auto slots = zeroed<KeyTable::Slot>(memory, capacity);
    if (!slots) return std::unexpected(slots.error());
    KeyTable table(keys, starts, std::move(*slots), capacity);
    for (std::size_t i = 0; i < count; ++i) {
        table.insert(i, key_length(i), false);
        for (std::uint32_t at = 0; at < key_length(i); ++at) {
            if (keys[starts[i] + at] == u'\\') table.insert(i, at, true);
        }
    }

    // Two buffers of each kind, of room for the longest staging name.
    std::array<SharedBytes, 4> scratch;
    for (std::size_t k = 0; k < scratch.size(); ++k) {
        auto room = k < 2 ? zeroed<char>(memory, longest + 4) : zeroed<char16_t>(memory, longest + 4);
        if (!room) return std::unexpected(room.error());
        scratch[k] = std::move(*room);
    }
    char* const staging = as<char>(scratch[0]);
    char16_t* const staging_key = as<char16_t>(scratch[2]);

    // Names in short-name form that may be the alias of another name in their folder.
    AliasCheck aliases(count, name_at, keys, starts, table, {staging, as<char>(scratch[1])},
                       {staging_key, as<char16_t>(scratch[3])});
    if (auto collected = aliases.collect(memory); !collected) {
        return std::unexpected(collected.error());
    }
    SharedBytes partner_room;
    SharedBytes by_staging_room;
    if (aliases.any()) {
        auto partners = zeroed<std::uint64_t>(memory, count);
        if (!partners) return std::unexpected(partners.error());
        auto flags = zeroed<bool>(memory, count);
        if (!flags) return std::unexpected(flags.error());
        partner_room = std::move(*partners);
        by_staging_room = std::move(*flags);
        aliases.match(as<std::uint64_t>(partner_room), as<bool>(by_staging_room));
    }
    const std::uint64_t* const partner = as<std::uint64_t>(partner_room);
    const bool* const by_staging = as<bool>(by_staging_room);

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
        if (partner != nullptr && partner[i] != 0) {
            if (!on_clash({NameClashKind::short_alias, i,
                           static_cast<std::size_t>(partner[i] - 1), by_staging[i]})) {
                return {};
            }
        }
    }
    return {};
}

}  // namespace pelko
