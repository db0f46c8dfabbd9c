#pragma once

namespace pelko {

// A lock with a wait, for the threads of Machine::run_concurrently: the words the platform's
// lock and condition variable live in, all zero while it is unlocked and nobody waits. Used only
// through the Platform (lock, unlock, wait, wake_all), and only by threads of one process.
struct Monitor {
    void* words[2] = {nullptr, nullptr};
};

}  // namespace pelko
