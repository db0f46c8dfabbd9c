#pragma once

#include <cstdint>
#include <functional>

#include "platform/buffer_allocator.h"

namespace pelko {

// The machine's memory and processors: all that inflating and reading the payload needs, so
// that the packer can read an installer's payload as the installer does, without the rest of
// the platform.
class Machine : public BufferAllocator {
public:
    // Runs `task` on up to `threads` threads at once, this one among them: fewer when the
    // machine has fewer processors or a thread cannot be started (at least this one). Returns
    // when every run has returned. `task` must not throw, and makes no other call of this class.
    virtual void run_concurrently(const std::function<void()>& task, std::uint32_t threads) = 0;
};

}  // namespace pelko
