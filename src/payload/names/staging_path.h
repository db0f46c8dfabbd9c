#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

#include "platform/os_string.h"

namespace pelko {

// The staging file of a target, beside it: the extension of the last component (after its last
// '.', unless that '.' is the component's first character) becomes "new"; a component without
// an extension gets ".new" appended. pelko.exe -> pelko.new, COPYING -> COPYING.new,
// .config -> .config.new, a.b.c -> a.b.new.
OsString staging_path(const OsString& target);

// The same rule on a path as text: the staging path is `kept` followed by `added` ("new" after
// a kept dot, else ".new").
struct StagingName {
    std::string_view kept;
    std::string_view added;

    std::size_t size() const { return kept.size() + added.size(); }
    // Writes the staging path to `out`, which has room for size() characters; returns size().
    std::size_t copy_to(char* out) const {
        std::memcpy(out, kept.data(), kept.size());
        std::memcpy(out + kept.size(), added.data(), added.size());
        return size();
    }
};
StagingName staging_name(std::string_view path);

}  // namespace pelko
