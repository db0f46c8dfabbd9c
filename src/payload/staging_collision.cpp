#include "payload/staging_collision.h"

#include <string>
#include <unordered_map>

#include "payload/file_name_key.h"
#include "payload/staging_path.h"

namespace pelko {

std::vector<StagingCollision> find_staging_collisions(std::span<const std::string_view> names) {
    std::vector<std::u16string> targets;
    targets.reserve(names.size());
    std::unordered_map<std::u16string_view, std::size_t> first_with_key;
    for (std::size_t i = 0; i < names.size(); ++i) {
        targets.push_back(file_name_key(names[i]));
    }
    for (std::size_t i = 0; i < names.size(); ++i) first_with_key.try_emplace(targets[i], i);

    std::vector<StagingCollision> collisions;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::u16string staging =
            file_name_key(staging_path(OsString::from_utf8(names[i])).wtf8());
        if (staging == targets[i]) {
            collisions.push_back({i, i});
        } else if (const auto found = first_with_key.find(staging); found != first_with_key.end()) {
            collisions.push_back({i, found->second});
        }
    }
    return collisions;
}

}  // namespace pelko
