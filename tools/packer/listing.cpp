#include "listing.h"

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

bool same_data(const PayloadEntry& a, const PayloadEntry& b) {
    return a.size() == b.size() && std::equal(a.data().begin(), a.data().end(), b.data().begin());
}

}  // namespace

void print_listing(const OpenedPayload& payload, std::FILE* out) {
    for (const PayloadEntry& entry : payload.entries) {
        std::fprintf(out, "%s\t%llu\n", entry.name().c_str(),
                     static_cast<unsigned long long>(entry.size()));
    }
    std::fprintf(out,
                 "%zu entries, %llu bytes of file data, container %llu bytes, stored %llu bytes\n",
                 payload.entries.size(), total_data(payload),
                 static_cast<unsigned long long>(payload.container_size),
                 static_cast<unsigned long long>(payload.stored_size));
    std::fprintf(out, "CRC-32 %s%s\n", crc_text(payload.crc32).c_str(),
                 payload.from_installer ? " (recorded in the executable, matches)" : "");
    if (payload.product_version) {
        std::fprintf(out, "product version %s\n", payload.product_version->c_str());
    }
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

bool print_difference(const OpenedPayload& before, const OpenedPayload& after, std::FILE* out) {
    const auto old_entries = by_file(before);
    const auto new_entries = by_file(after);
    bool differ = false;
    for (const PayloadEntry& entry : after.entries) {
        const std::u16string file = file_name_key(entry.name());
        if (new_entries.at(file) != &entry) continue;  // a later one of that file counts
        const auto old = old_entries.find(file);
        if (old == old_entries.end()) {
            std::fprintf(out, "added    %s (%llu bytes)\n", entry.name().c_str(),
                         static_cast<unsigned long long>(entry.size()));
            differ = true;
        } else if (old->second->name() != entry.name()) {
            std::fprintf(out, "changed  %s (named %s before; %llu -> %llu bytes)\n",
                         entry.name().c_str(), old->second->name().c_str(),
                         static_cast<unsigned long long>(old->second->size()),
                         static_cast<unsigned long long>(entry.size()));
            differ = true;
        } else if (!same_data(*old->second, entry)) {
            std::fprintf(out, "changed  %s (%llu -> %llu bytes)\n", entry.name().c_str(),
                         static_cast<unsigned long long>(old->second->size()),
                         static_cast<unsigned long long>(entry.size()));
            differ = true;
        }
    }
    for (const PayloadEntry& entry : before.entries) {
        const std::u16string file = file_name_key(entry.name());
        if (old_entries.at(file) != &entry || new_entries.contains(file)) continue;
        std::fprintf(out, "removed  %s (%llu bytes)\n", entry.name().c_str(),
                     static_cast<unsigned long long>(entry.size()));
        differ = true;
    }
    return differ;
}

}  // namespace pelko::packer
