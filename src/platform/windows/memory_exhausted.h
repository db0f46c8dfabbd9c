#pragma once

namespace pelko::win {

// Called by the program's runtime when memory runs out where no caller can be told: frees the
// memory set aside by WindowsPlatform::on_memory_exhausted and runs its action, which ends the
// process; without one, or when memory runs out again meanwhile, ends the process at once with
// exit code 1.
[[noreturn]] void memory_exhausted();

}  // namespace pelko::win
