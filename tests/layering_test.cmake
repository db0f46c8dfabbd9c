# The layers of src/ include one way. Each layer (a folder; under payload/, each room) may
# include only the layers listed for it, and itself:
#   platform (platform/windows with it)
#   shared
#   payload/names       the rules of payload names: keys, clashes, staging names
#   payload/container   the container's format, its reading into entries, the payload's failures
#   payload/inflate     the raw DEFLATE decoders, the stream index, the checksum
#   payload/unpack      the embedded section, read in one pass or in pieces
#   payload/install     the files written into the install directory
#   instances, registration (beside the payload: none of these includes another)
#   setup, then main (the entry point)
# The one include upward is the setup log, which instances writes to.
# Run as: cmake -DSRC=... -P layering_test.cmake
cmake_minimum_required(VERSION 3.25)
set(base platform shared)
set(below_platform "")
set(below_shared platform)
set(below_payload/names ${base})
set(below_payload/container ${base} payload/names)
set(below_payload/inflate ${base} payload/container)
set(below_payload/unpack ${base} payload/names payload/container payload/inflate)
set(below_payload/install ${base} payload/names payload/container)
set(below_instances ${base})
set(below_registration ${base})
set(payload payload/names payload/container payload/inflate payload/unpack payload/install)
set(below_setup ${base} ${payload} instances registration)
set(below_main ${below_setup} setup)
set(allowed "instances -> setup/setup_log.h")

# The layer of a path below src/: its folder, or its room under payload/.
function(layer_of path result)
  if(path MATCHES "^payload/([a-z_]+)/")
    set(${result} "payload/${CMAKE_MATCH_1}" PARENT_SCOPE)
  else()
    string(REGEX MATCH "^[^/]+" first "${path}")
    set(${result} "${first}" PARENT_SCOPE)
  endif()
endfunction()

file(GLOB_RECURSE sources RELATIVE ${SRC} ${SRC}/*.h ${SRC}/*.cpp ${SRC}/*.inc)
set(faults "")
foreach(source ${sources})
  layer_of(${source} layer)
  if(NOT DEFINED below_${layer})
    string(APPEND faults "\n  ${source} is in no layer")
    continue()
  endif()
  file(STRINGS ${SRC}/${source} includes REGEX "^#include \"[a-z_]+/")
  foreach(line ${includes})
    string(REGEX MATCH "\"([^\"]+)\"" _ "${line}")
    set(header "${CMAKE_MATCH_1}")
    layer_of(${header} used)
    if(used STREQUAL layer OR "${layer} -> ${header}" IN_LIST allowed)
      continue()
    endif()
    if(NOT used IN_LIST below_${layer})
      string(APPEND faults "\n  ${source} includes ${header}")
    endif()
  endforeach()
endforeach()
if(faults)
  message(FATAL_ERROR "includes against the layers:${faults}")
endif()
list(LENGTH sources count)
message(STATUS "${count} files of src/ include one way")
