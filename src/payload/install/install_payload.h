#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "payload/container/payload_entry.h"
#include "platform/platform.h"
#include "shared/setup_failure.h"

namespace pelko {

// Tries to move a staging file over its target, with this pause after each failed attempt.
inline constexpr int kMoveAttempts = 20;
inline constexpr std::chrono::milliseconds kMovePause{250};

// At most this many entries per processor are staged and not yet moved, and this many in all.
inline constexpr std::size_t kStagedPerProcessor = 16;
inline constexpr std::size_t kMostStaged = 256;

// Below this many bytes of files and this many files, they are installed one at a time: the
// files of a small payload take less time than the run's fixed costs, and a second thread
// writing them slows the Shell link's start on the preload thread more than it speeds them up.
// Many small files cost by their number (each a create, a write, a close and a move), whatever
// their bytes.
inline constexpr std::uint64_t kStagedAheadFrom = std::uint64_t{64} << 20;
inline constexpr std::size_t kStagedAheadFromEntries = 1024;

// How many of `entries` the installation may stage ahead of the moves on this machine:
// kStagedPerProcessor for each processor, or 1 (one at a time, on the calling thread, no thread
// started) on one processor, for no more entries than the window, and below both
// kStagedAheadFrom bytes and kStagedAheadFromEntries entries, which threads would not make
// faster.
std::size_t staging_window(Platform& os, std::span<const PayloadEntry> entries);

// Writes every entry, in order, into the install directory: its parent directories are created,
// its bytes written to the staging file beside the target (created, or emptied; one left by an
// earlier run that cannot be emptied, read-only or a link, is deleted and created anew), and the
// staging file moved over the target, up to kMoveAttempts times (a read-only target losing that
// attribute first); after the last failed attempt the staging file is deleted. Returns the
// payload total, the sum of the installed data lengths.
// With a window above 1, the staging files of up to `window` entries are written ahead of the
// moves on every processor (Platform::run_concurrently), the moves staying on one thread in
// payload order; two entries sharing a staging file or a target are never staged at once, and
// after a failure no staging file written for a later entry is left. With 1, one entry at a
// time on this thread.
// Failure texts: the directory error alone; "{staging}: {error}" for create and write;
// "{target}: {error}" after the last failed move. Nothing is undone after a failure.
StepResult<std::uint64_t> install_payload(Platform& os, const OsString& install_dir,
                                          std::span<const PayloadEntry> entries,
                                          std::size_t window = 1);

}  // namespace pelko
