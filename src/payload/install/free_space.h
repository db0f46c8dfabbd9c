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
// moment, one entry at a time: in payload order, what the files before an entry grew or shrank
// by, plus the entry's staging file while its old target still stands (a staging file left by
// an earlier run is emptied first); and with up to `window` entries staged ahead of the moves
// (install_payload): the same, plus before each move the staging files of the entries that may
// stand with it, each counted whole (at least the one-at-a-time figure). The old sizes are read
// from the disk, once per file.
struct SpaceNeeded {
    std::uint64_t one_at_a_time = 0;
    std::uint64_t staged_ahead = 0;
};
SpaceNeeded space_needed(Platform& os, const OsString& install_dir,
                         std::span<const PayloadEntry> entries, std::size_t window);

// Refuses, before anything changes, an installation that cannot fit in the free space of the
// volume of the install directory (of its nearest existing ancestor): kNoSpaceText, with the
// bytes needed one entry at a time. Bytes are compared, a lower bound of what files take, so
// that no installation that fits is refused; when the free space cannot be read, nothing is
// refused. Returns the window install_payload may use so that it fits: `window` when the files
// staged ahead fit too, else 1.
StepResult<std::size_t> check_free_space(Platform& os, const OsString& install_dir,
                                         std::span<const PayloadEntry> entries,
                                         std::size_t window = 1);

}  // namespace pelko
