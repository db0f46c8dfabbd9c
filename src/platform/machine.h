#pragma once

#include <cstdint>

#include "platform/buffer_allocator.h"
#include "platform/function_ref.h"

namespace pelko {

// The points of a run between which a benchmark times its phases (benchmarks/phase_setup.cpp).
enum class RunPoint : std::uint8_t {
    start_line,    // the start line is written
    checking,      // the CRC-32 of the stored payload is about to be checked
    inflating,     // checked: the stream is about to be inflated
    piece_done,    // a piece is inflated (on the thread that inflated it)
    inflated,      // the whole stream is inflated (in pieces), the entries not read yet
    read,          // the entries are read and their names checked
    stopped,       // no copy of the app runs
    entry_begins,  // an entry is about to be installed: its directory, then its staging file
    staged,        // its staging file is written and closed
    moving,        // staged ahead: it is about to be moved (on the thread that moves)
    moved,         // it is moved over its target
    registered,    // the uninstall entry is written
    shortcut,      // the shortcut is saved (or skipped)
    success_line,  // the success line is written
};

// The machine's memory and processors: all that inflating and reading the payload needs, so
// that the packer can read an installer's payload as the installer does, without the rest of
// the platform.
class Machine : public BufferAllocator {
public:
    // Runs `task` on up to `threads` threads at once, this one among them: fewer when the
    // machine has fewer processors or a thread cannot be started (at least this one). Returns
    // when every run has returned. `task` must not throw, and makes no other call of this class.
    virtual void run_concurrently(FunctionRef<void()> task, std::uint32_t threads) = 0;
    // The run has reached the point (from any thread for piece_done). Only a benchmark's
    // platform looks: nothing happens here otherwise.
    virtual void reached(RunPoint) {}
};

}  // namespace pelko
