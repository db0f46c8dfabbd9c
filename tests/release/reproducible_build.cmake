# Two clean builds of pelko-setup.exe, in two build folders of different names, from the same
# sources and payload, give the same bytes.
# Run as: cmake -DSOURCE=... -DWORK=... -DPAYLOAD=... -DTOOLCHAIN=... -DPACKER=...
#         -P reproducible_build.cmake
file(REMOVE_RECURSE ${WORK})
foreach(dir first second-build)
  set(build ${WORK}/${dir})
  execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${build} -G Ninja --toolchain ${TOOLCHAIN}
            -DCMAKE_BUILD_TYPE=Release -DPELKO_PAYLOAD=${PAYLOAD} -DPELKO_PACKER=${PACKER}
    OUTPUT_QUIET RESULT_VARIABLE code)
  if(NOT code EQUAL 0)
    message(FATAL_ERROR "configure of ${build} failed")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${build} --target pelko-setup -j 2
                  OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE code)
  if(NOT code EQUAL 0)
    message(FATAL_ERROR "build in ${build} failed:\n${out}")
  endif()
endforeach()

file(SHA256 ${WORK}/first/pelko-setup.exe first)
file(SHA256 ${WORK}/second-build/pelko-setup.exe second)
if(NOT first STREQUAL second)
  message(FATAL_ERROR "the two builds differ:\n  ${first}\n  ${second}")
endif()
file(SIZE ${WORK}/first/pelko-setup.exe size)
message(STATUS "two clean builds: identical pelko-setup.exe, ${size} bytes, sha256 ${first}")
file(REMOVE_RECURSE ${WORK})
