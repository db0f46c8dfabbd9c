#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "payload/container/payload_entry.h"
#include "platform/platform.h"
#include "shared/setup_failure.h"

namespace pelko {

// The failure of a volume too small for the installation: the install directory, the bytes the
// installation needs at its fullest moment, and the bytes the user may still write there.
inline constexpr std::string_view kNoSpaceText =
    "{}: not enough disk space ({} bytes needed, {} bytes free)";

// The most bytes the installation of `entries` into `install_dir` adds to its volume at any
// moment: in payload order, what the files before an entry grew or shrank by, plus the entry's
// staging file while its old target still stands (a staging file left by an earlier run is
// emptied first). The old sizes are read from the disk, once per file.
std::uint64_t most_space_needed(Platform& os, const OsString& install_dir,
                                std::span<const PayloadEntry> entries);

// Refuses, before anything changes, an installation that cannot fit in the free space of the
// volume of the install directory (of its nearest existing ancestor): kNoSpaceText. Bytes are
// compared, a lower bound of what files take, so that no installation that fits is refused; when
// the free space cannot be read, nothing is refused.
StepResult<void> check_free_space(Platform& os, const OsString& install_dir,
                                  std::span<const PayloadEntry> entries);

}  // namespace pelko
