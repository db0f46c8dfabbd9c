#include "payload/install/free_space.h"

#include <algorithm>
#include <string>
#include <vector>

#include "payload/names/file_name_key.h"
#include "payload/names/staging_path.h"
#include "platform/path.h"
#include "platform/text_format.h"

namespace pelko {
namespace {

// The keys (file_name_key) of names, one after another in one buffer, and a sort of them. The
// installer's code stays small with one sort of numbers, and no strings or maps of keys.
class KeyList {
public:
    // Adds the key of a relative name; its number.
    std::size_t add(std::string_view name) {
        const std::size_t at = units_.size();
        units_.resize(at + name.size());
        units_.resize(at + write_file_name_key(name, std::span(units_).subspan(at)));
        ends_.push_back(units_.size());
        return ends_.size() - 1;
    }
    std::u16string_view key(std::size_t number) const {
        const std::size_t begin = number == 0 ? 0 : ends_[number - 1];
        return {units_.data() + begin, ends_[number] - begin};
    }
    std::size_t size() const { return ends_.size(); }
    // The numbers of the keys, in the order of the keys.
    std::vector<std::size_t> sorted() const {
        std::vector<std::size_t> order(size());
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::sort(order.begin(), order.end(),
                  [this](std::size_t a, std::size_t b) { return key(a) < key(b); });
        return order;
    }

private:
    std::vector<char16_t> units_;
    std::vector<std::size_t> ends_;
};

}  // namespace

SpaceNeeded space_needed(Platform& os, const OsString& install_dir,
                         std::span<const PayloadEntry> entries, std::size_t window) {
    // Per entry: its staging file (2i) and its target (2i + 1).
    KeyList touched;
    std::string staged;
    const auto name_of = [&](std::size_t item) -> std::string_view {
        const std::string& name = entries[item / 2].name();
        if (item % 2 == 1) return name;
        const StagingName staging = staging_name(name);
        staged.resize(staging.size());
        staging.copy_to(staged.data());
        return staged;
    };
    for (std::size_t item = 0; item < 2 * entries.size(); ++item) touched.add(name_of(item));

    // One slot per distinct file, holding its size as it stands: at first, as on the disk.
    const std::vector<std::size_t> order = touched.sorted();
    std::vector<std::size_t> slot(order.size());
    std::vector<std::int64_t> size_now;
    for (std::size_t k = 0; k < order.size(); ++k) {
        if (k == 0 || touched.key(order[k - 1]) != touched.key(order[k])) {
            const OsResult<std::uint64_t> size =
                os.file_size(path_join(install_dir, name_of(order[k])));
            size_now.push_back(size ? static_cast<std::int64_t>(*size) : 0);
        }
        slot[order[k]] = size_now.size() - 1;
    }

    // Signed: files may shrink. Sizes and their sums stay far below 2^63.
    std::int64_t grown = 0;
    std::int64_t most = 0;
    // Staged ahead: before entry i is moved, the staging files of up to `window` entries from
    // i on may stand, counted whole (a leftover they empty only gives bytes back).
    std::int64_t ahead = 0;
    for (std::size_t k = 0; k < std::min(window, entries.size()); ++k) {
        ahead += static_cast<std::int64_t>(entries[k].size());
    }
    std::int64_t most_ahead = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        std::int64_t& staging = size_now[slot[2 * i]];
        std::int64_t& target = size_now[slot[2 * i + 1]];
        const auto size = static_cast<std::int64_t>(entries[i].size());
        most_ahead = std::max(most_ahead, grown + ahead);
        ahead -= size;
        if (i + window < entries.size()) {
            ahead += static_cast<std::int64_t>(entries[i + window].size());
        }
        // The staging file is emptied, then written, while the old target stands.
        grown += size - staging;
        most = std::max(most, grown);
        // Then it replaces the target.
        grown -= target;
        staging = 0;
        target = size;
    }
    return {static_cast<std::uint64_t>(most),
            static_cast<std::uint64_t>(std::max(most, most_ahead))};
}

StepResult<std::size_t> check_free_space(Platform& os, const OsString& install_dir,
                                         std::span<const PayloadEntry> entries,
                                         std::size_t window) {
    std::uint64_t total = 0;
    for (const PayloadEntry& entry : entries) total += entry.size();
    if (total == 0) return window;
    // The volume is that of the nearest folder that exists.
    std::optional<OsString> existing = install_dir;
    while (existing && !existing->empty() && !os.is_directory(*existing)) {
        existing = windows_parent(*existing);
    }
    if (!existing || existing->empty()) return window;
    const OsResult<std::uint64_t> free = os.free_disk_space(*existing);
    // No installation needs more than all its bytes, staged ahead or not: only a volume with
    // less free space needs a closer look.
    if (!free || total <= *free) return window;
    // A first installation needs all its bytes.
    if (*existing != install_dir) {
        return fail(format_text(kNoSpaceText, install_dir.to_text(), total, *free));
    }
    const SpaceNeeded needed = space_needed(os, install_dir, entries, window);
    if (needed.staged_ahead <= *free) return window;
    if (needed.one_at_a_time <= *free) return 1;
    return fail(format_text(kNoSpaceText, install_dir.to_text(), needed.one_at_a_time, *free));
}

}  // namespace pelko
