// The installer has no console, so the C++ runtime's verbose terminate handler (which demangles
// the exception's type name for stderr) would only add its demangler to the executable. An
// uncaught exception ends the process the same way without it.
#include <cstdlib>

namespace __gnu_cxx {

[[noreturn]] void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
