#pragma once

#include "platform/os_string.h"

namespace pelko {

// The staging file of a target, beside it: the extension of the last component (after its last
// '.', unless that '.' is the component's first character) becomes "new"; a component without
// an extension gets ".new" appended. pelko.exe -> pelko.new, COPYING -> COPYING.new,
// .config -> .config.new, a.b.c -> a.b.new.
OsString staging_path(const OsString& target);

}  // namespace pelko
