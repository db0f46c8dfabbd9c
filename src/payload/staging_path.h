#pragma once

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
};
StagingName staging_name(std::string_view path);

}  // namespace pelko
