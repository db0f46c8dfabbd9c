// The installer's code is built without exceptions: every failure is a value, and what cannot
// be handled ends the process. The functions that the library's headers call to throw
// (std::__throw_length_error and kin) would still link every exception class, a copy-on-write
// string and the unwinder with them; these take their place. The helpers of a size that cannot
// be had (bad_alloc, bad_array_new_length, length_error) end the run through the platform's
// memory action, which reports it as a failed run; a broken invariant of the library ends the
// process as an uncaught exception would.
#include <bits/functexcept.h>

#include <cstdlib>

#include "platform/windows/memory_exhausted.h"

using pelko::win::memory_exhausted;

namespace std {

void __throw_bad_exception() { std::abort(); }
void __throw_bad_alloc() { memory_exhausted(); }
void __throw_bad_array_new_length() { memory_exhausted(); }
void __throw_bad_cast() { std::abort(); }
void __throw_bad_typeid() { std::abort(); }
void __throw_logic_error(const char*) { std::abort(); }
void __throw_domain_error(const char*) { std::abort(); }
void __throw_invalid_argument(const char*) { std::abort(); }
void __throw_length_error(const char*) { memory_exhausted(); }
void __throw_out_of_range(const char*) { std::abort(); }
void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }
void __throw_runtime_error(const char*) { std::abort(); }
void __throw_range_error(const char*) { std::abort(); }
void __throw_overflow_error(const char*) { std::abort(); }
void __throw_underflow_error(const char*) { std::abort(); }
void __throw_ios_failure(const char*) { std::abort(); }
void __throw_ios_failure(const char*, int) { std::abort(); }
void __throw_system_error(int) { std::abort(); }
void __throw_future_error(int) { std::abort(); }
void __throw_bad_function_call() { std::abort(); }

}  // namespace std
