# The installer links no unwinder: its code is built without exceptions and the runtime's throw
# helpers and operator new are replaced (src/main/runtime/), so that no _Unwind_ function, nor the
# exception machinery that calls them, is part of pelko-setup.exe. A toolchain whose runtime
# brings it back through another door fails here. Read from the link map of the shipped link
# (-Wl,-Map), which names every symbol linked into the executable's sections; the sections the
# link dropped (--gc-sections) are not looked at.
# Run as: cmake -DMAP=pelko-setup.map -P no_unwinder_check.cmake
if(NOT EXISTS "${MAP}")
  message(FATAL_ERROR "no link map at ${MAP}")
endif()
file(READ "${MAP}" map)
# The map's memory map (what is linked) follows its list of the discarded input sections.
string(FIND "${map}" "\nLinker script and memory map" start)
if(start EQUAL -1)
  message(FATAL_ERROR "${MAP} has no memory map")
endif()
string(SUBSTRING "${map}" ${start} -1 linked)
# An _Unwind_ symbol, or a member of libgcc_eh (the unwinder's library) placed in a section.
string(REGEX MATCHALL "[^\n]*(_Unwind_|libgcc_eh\\.a\\()[^\n]*" found "${linked}")
if(found)
  list(JOIN found "\n" lines)
  message(FATAL_ERROR "pelko-setup.exe links the unwinder:\n${lines}")
endif()
string(LENGTH "${linked}" size)
message(STATUS "${MAP}: no _Unwind_ symbol and no part of libgcc_eh among the ${size} bytes "
               "of the memory map")
