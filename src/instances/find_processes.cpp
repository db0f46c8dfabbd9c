#include "instances/find_processes.h"

#include <algorithm>

namespace pelko {
namespace {

char fold_ascii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equals_ascii_case_insensitive(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (fold_ascii(a[i]) != fold_ascii(b[i])) return false;
    }
    return true;
}

}  // namespace

std::vector<std::uint32_t> filter_processes(std::span<const ProcessRecord> snapshot,
                                            std::span<const std::string_view> names) {
    std::vector<std::uint32_t> ids;
    for (const ProcessRecord& record : snapshot) {
        const bool named = std::ranges::any_of(names, [&](std::string_view name) {
            return equals_ascii_case_insensitive(record.name, name);
        });
        if (named && std::ranges::find(ids, record.id) == ids.end()) ids.push_back(record.id);
    }
    return ids;
}

std::vector<std::uint32_t> find_processes(Platform& os, std::span<const std::string_view> names) {
    return filter_processes(os.process_snapshot(), names);
}

}  // namespace pelko
