#pragma once

#include <chrono>
#include <optional>
#include <span>

#include "platform/platform.h"

namespace pelko {

// How long running copies get to end, counted on the monotonic clock from the start of the wait.
inline constexpr std::uint64_t kQuitWaitSeconds = 20;
inline constexpr std::chrono::milliseconds kPollInterval{250};

// Polls the processes until neither "pelko.exe" nor "pelko-guard.exe" runs. The first snapshot is
// taken at once; a clock reading at or after the deadline ends the wait with false before any
// further snapshot. True when a snapshot shows no such process (a failing snapshot counts as
// empty).
bool wait_for_instances_to_end(Platform& os);
// The same, with `first` as the snapshot of the first poll: for a caller that has just taken it
// and has started nothing since. Later polls take fresh snapshots.
bool wait_for_instances_to_end(Platform& os, std::span<const ProcessRecord> first);

}  // namespace pelko
