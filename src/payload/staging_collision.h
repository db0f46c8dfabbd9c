#pragma once

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

namespace pelko {

// An entry whose staging file is a file the payload itself installs: writing the staging file
// would empty that file, and the move would carry it off. `entry` and `target` are positions in
// the list of names; they are equal when the staging file is the entry's own target.
struct StagingCollision {
    std::size_t entry = 0;
    std::size_t target = 0;
    friend bool operator==(const StagingCollision&, const StagingCollision&) = default;
};

// Every entry, in list order, whose staging path (see staging_path.h) names, under Windows' name
// rules (file_name_key), the same file as its own target or as the target of any entry; with the
// entry's own name as the target when it is that, else the first such name of the list.
// "a.new" (its own staging file), "notes.NEW" (the same, in another case) and "a.dll" beside
// "a.new." (staged as a.new, which Windows opens for "a.new.") all collide; "a.exe" beside
// "a.dll" does not (they share a staging path, which is moved away before the next is written).
std::vector<StagingCollision> find_staging_collisions(std::span<const std::string_view> names);

}  // namespace pelko
