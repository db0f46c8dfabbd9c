# A shipped executable: imports from system DLLs only, no time stamp in the PE header and no build
# path inside; for the installer (given its PAYLOAD) a payload section that starts on a page of
# the file and a stub (the file minus the stored payload) of at most 128 KiB.
# Run as: cmake -DEXE=... [-DPAYLOAD=...] -DOBJDUMP=... -DPATHS="dir;dir" -P exe_check.cmake
cmake_policy(SET CMP0057 NEW)
set(system_dlls kernel32.dll user32.dll advapi32.dll ole32.dll oleaut32.dll shell32.dll
    msvcrt.dll ntdll.dll gdi32.dll version.dll shlwapi.dll bcrypt.dll)
set(max_stub 131072)

execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE headers RESULT_VARIABLE code)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${EXE} failed")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${headers}")
if(NOT imports)
  message(FATAL_ERROR "no imports found in ${EXE}")
endif()
foreach(line ${imports})
  string(REPLACE "DLL Name: " "" dll "${line}")
  string(STRIP "${dll}" dll)
  string(TOLOWER "${dll}" dll)
  if(NOT dll IN_LIST system_dlls)
    message(FATAL_ERROR "${EXE} imports ${dll}, which is not a system DLL")
  endif()
  list(APPEND seen ${dll})
endforeach()

string(REGEX MATCH "Time/Date[ \t]+([^\n]+)" stamp "${headers}")
string(STRIP "${CMAKE_MATCH_1}" stamp)
if(NOT stamp MATCHES "^(00000000|Thu Jan  1 00:00:00 1970)$")
  message(FATAL_ERROR "the PE header carries a time stamp: ${stamp}")
endif()

file(READ ${EXE} contents HEX)
foreach(path ${PATHS})
  string(HEX "${path}" needle)
  string(FIND "${contents}" "${needle}" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "${EXE} holds the build path ${path}")
  endif()
endforeach()

file(SIZE ${EXE} exe_size)
if(NOT PAYLOAD)
  message(STATUS "${EXE}: ${exe_size} bytes; imports: ${seen}")
  return()
endif()
# Its payload section starts on a page of the file, so that Wine maps it instead of copying it.
execute_process(COMMAND ${OBJDUMP} -h ${EXE} OUTPUT_VARIABLE sections)
string(REGEX MATCH "\\.payload +[0-9a-f]+ +[0-9a-f]+ +[0-9a-f]+ +([0-9a-f]+)" found "${sections}")
if(NOT found)
  message(FATAL_ERROR "${EXE} has no .payload section:\n${sections}")
endif()
math(EXPR page_offset "0x${CMAKE_MATCH_1} % 4096")
if(NOT page_offset EQUAL 0)
  message(FATAL_ERROR
    "the .payload section starts at file offset 0x${CMAKE_MATCH_1}, not on a page")
endif()
file(SIZE ${PAYLOAD} payload_size)
math(EXPR stub "${exe_size} - ${payload_size}")
math(EXPR stub_kib "(${stub} + 1023) / 1024")
message(STATUS "pelko-setup.exe: ${exe_size} bytes, payload ${payload_size} bytes, "
               "stub ${stub} bytes (${stub_kib} KiB, at most 128 KiB); imports: ${seen}")
if(stub GREATER max_stub)
  message(FATAL_ERROR "the stub is ${stub} bytes, more than ${max_stub}")
endif()
