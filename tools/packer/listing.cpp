#include "listing.h"

#include <cstdio>
#include <map>

#include <nlohmann/json.hpp>

#include "payload/names/file_name_key.h"
#include "shared/product_version.h"
#include "sha256.h"

namespace pelko::packer {
namespace {

unsigned long long total_data(const OpenedPayload& payload) {
    unsigned long long total = 0;
    for (const PayloadEntry& entry : payload.entries) total += entry.size();
    return total;
}

std::string crc_text(std::uint32_t crc) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", crc);
    return text;
}

// The last entry of each file, by the name under which Windows finds it.
std::map<std::u16string, const PayloadEntry*> by_file(const OpenedPayload& payload) {
    std::map<std::u16string, const PayloadEntry*> entries;
    for (const PayloadEntry& entry : payload.entries) entries[file_name_key(entry.name())] = &entry;
    return entries;
}

// The line, formatted as printf does, and its line break, appended to `text`.
template <class... Args>
void append_line(std::string& text, const char* format, Args... args) {
    const int length = std::snprintf(nullptr, 0, format, args...);
    if (length <= 0) return;
    const std::size_t at = text.size();
    text.resize(at + static_cast<std::size_t>(length) + 1);
    std::snprintf(text.data() + at, static_cast<std::size_t>(length) + 1, format, args...);
    text.back() = '\n';
}

bool same_data(const PayloadEntry& a, const PayloadEntry& b) {
    return a.size() == b.size() && std::equal(a.data().begin(), a.data().end(), b.data().begin());
}

}  // namespace

std::string listing_text(const OpenedPayload& payload) {
    std::string text;
    for (const PayloadEntry& entry : payload.entries) {
        append_line(text, "%s\t%llu", entry.name().c_str(),
                    static_cast<unsigned long long>(entry.size()));
    }
    append_line(text,
                "%zu entries, %llu bytes of file data, container %llu bytes, stored %llu bytes",
                payload.entries.size(), total_data(payload),
                static_cast<unsigned long long>(payload.container_size),
                static_cast<unsigned long long>(payload.stored_size));
    append_line(text, "CRC-32 %s%s", crc_text(payload.crc32).c_str(),
                payload.from_installer ? " (recorded in the executable, matches)" : "");
    if (payload.product_version) {
        append_line(text, "product version %s", payload.product_version->c_str());
    }
    return text;
}

std::string listing_json(const OpenedPayload& payload) {
    nlohmann::ordered_json entries = nlohmann::ordered_json::array();
    for (const PayloadEntry& entry : payload.entries) {
        entries.push_back({{"name", entry.name()},
                           {"size", entry.size()},
                           {"sha256", sha256_hex(entry.data())}});
    }
    nlohmann::ordered_json document = {
        {"kind", payload.from_installer ? "installer" : "payload"},
        {"entries", std::move(entries)},
        {"entry_count", payload.entries.size()},
        {"file_data_bytes", total_data(payload)},
        {"container_bytes", payload.container_size},
        {"stored_bytes", payload.stored_size},
        {"crc32", crc_text(payload.crc32)},
    };
    if (payload.from_installer) {
        document["recorded_crc32"] = crc_text(*payload.recorded_crc32);
        document["index_pieces"] =
            payload.index_pieces ? nlohmann::ordered_json(*payload.index_pieces) : nullptr;
        document["product_version"] =
            payload.product_version ? nlohmann::ordered_json(*payload.product_version) : nullptr;
    }
    document["packer_version"] = std::string(kProductVersion);
    // Names are UTF-8 (the reader checked them) and stay as they are.
    return document.dump(2) + "\n";
}

std::string difference_text(const OpenedPayload& before, const OpenedPayload& after) {
    const auto old_entries = by_file(before);
    const auto new_entries = by_file(after);
    std::string text;
    for (const PayloadEntry& entry : after.entries) {
        const std::u16string file = file_name_key(entry.name());
        if (new_entries.at(file) != &entry) continue;  // a later one of that file counts
        const auto old = old_entries.find(file);
        if (old == old_entries.end()) {
            append_line(text, "added    %s (%llu bytes)", entry.name().c_str(),
                         static_cast<unsigned long long>(entry.size()));
        } else if (old->second->name() != entry.name()) {
            append_line(text, "changed  %s (named %s before; %llu -> %llu bytes)",
                         entry.name().c_str(), old->second->name().c_str(),
                         static_cast<unsigned long long>(old->second->size()),
                         static_cast<unsigned long long>(entry.size()));
        } else if (!same_data(*old->second, entry)) {
            append_line(text, "changed  %s (%llu -> %llu bytes)", entry.name().c_str(),
                         static_cast<unsigned long long>(old->second->size()),
                         static_cast<unsigned long long>(entry.size()));
        }
    }
    for (const PayloadEntry& entry : before.entries) {
        const std::u16string file = file_name_key(entry.name());
        if (old_entries.at(file) != &entry || new_entries.contains(file)) continue;
        append_line(text, "removed  %s (%llu bytes)", entry.name().c_str(),
                     static_cast<unsigned long long>(entry.size()));
    }
    return text;
}

}  // namespace pelko::packer
