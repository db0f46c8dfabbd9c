# Once scripts/install-deps.sh has filled the dependency cache, a new build folder of the windows
# preset configures without the network; a cache without libdeflate's source stops the configure
# with the command to run.
# Run as: cmake -DSOURCE=... -DDEPS=... -DWORK=... -P offline_configure_test.cmake
file(REMOVE_RECURSE ${WORK})
# A network namespace of its own, with no way out: as root, or as a user in a user namespace.
set(offline)
foreach(candidate "unshare;-n" "unshare;-rn")
  execute_process(COMMAND ${candidate} true RESULT_VARIABLE code OUTPUT_QUIET ERROR_QUIET)
  if(code EQUAL 0)
    set(offline ${candidate})
    break()
  endif()
endforeach()
if(NOT offline)
  message(STATUS "offline configure skipped: unshare -n is not allowed here")
  return()
endif()

function(configure_offline build deps)
  execute_process(COMMAND ${offline} ${CMAKE_COMMAND} --preset windows -B ${build}
                          -DPELKO_DEPS_DIR=${deps}
                  WORKING_DIRECTORY ${SOURCE}
                  OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE code)
  set(out "${out}" PARENT_SCOPE)
  set(code "${code}" PARENT_SCOPE)
endfunction()

configure_offline(${WORK}/build ${DEPS})
if(NOT code EQUAL 0 OR NOT EXISTS ${WORK}/build/_deps/libdeflate-1.14/lib/deflate_decompress.c)
  message(FATAL_ERROR "an offline configure failed (exit ${code}):\n${out}")
endif()
configure_offline(${WORK}/no-deps-build ${WORK}/no-deps)
string(FIND "${out}" "run scripts/install-deps.sh" at)
if(code EQUAL 0 OR at EQUAL -1)
  message(FATAL_ERROR "a configure without libdeflate's source: exit ${code}:\n${out}")
endif()
file(REMOVE_RECURSE ${WORK})
message(STATUS "offline configure: ok")
