#pragma once

#include "platform/platform.h"

namespace pelko {

// Creates a directory together with every missing parent: the directory itself is tried first,
// then each ancestor, deepest first, while the call reports "not found"; the walk stops at the
// first directory created or found existing, and the missing ones are then created from the
// shallowest down. An "already exists" code is no error when the path is a directory.
OsResult<void> create_directory_all(Platform& os, const OsString& path);

}  // namespace pelko
