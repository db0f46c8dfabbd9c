#pragma once

#include <cstdint>
#include <span>

#include "payload/container/payload_entry.h"
#include "platform/platform.h"
#include "shared/setup_failure.h"

namespace pelko {

// Tries to move a staging file over its target, with this pause after each failed attempt.
inline constexpr int kMoveAttempts = 20;
inline constexpr std::chrono::milliseconds kMovePause{250};

// Writes every entry, in order, into the install directory: its parent directories are created,
// its bytes written to the staging file beside the target (created, or emptied; one left by an
// earlier run that cannot be emptied, read-only or a link, is deleted and created anew), and the
// staging file moved over the target, up to kMoveAttempts times (a read-only target losing that
// attribute first); after the last failed attempt the staging file is deleted. Returns the
// payload total, the sum of the installed data lengths.
// Failure texts: the directory error alone; "{staging}: {error}" for create and write;
// "{target}: {error}" after the last failed move. Nothing is undone after a failure.
StepResult<std::uint64_t> install_payload(Platform& os, const OsString& install_dir,
                                          std::span<const PayloadEntry> entries);

}  // namespace pelko
