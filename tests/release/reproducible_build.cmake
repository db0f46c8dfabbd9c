# A clean build of pelko-setup.exe, in a folder of another name and depth than this build's, from
# the same sources, payload and version, gives this build's bytes. The folder is left configured
# and built: the release tests that build around other payloads build there, which relinks the
# installer instead of compiling it again.
# Run as: cmake -DSOURCE=... -DWORK=... -DPAYLOAD=... -DTOOLCHAIN=... -DPACKER=... -DVERSION=...
#         -DEXPECTED=<this build's pelko-setup.exe> -P reproducible_build.cmake
include(${CMAKE_CURRENT_LIST_DIR}/release_steps.cmake)

file(REMOVE_RECURSE ${WORK})
run("configure of ${WORK}" ${CMAKE_COMMAND} -S ${SOURCE} -B ${WORK} -G Ninja
    --toolchain ${TOOLCHAIN} -DCMAKE_BUILD_TYPE=Release -DPELKO_PAYLOAD=${PAYLOAD}
    -DPELKO_PACKER=${PACKER} -DPELKO_VERSION=${VERSION})
run("build in ${WORK}" ${CMAKE_COMMAND} --build ${WORK} --target pelko-setup -j 2)

file(SHA256 ${EXPECTED} expected)
file(SHA256 ${WORK}/pelko-setup.exe built)
if(NOT built STREQUAL expected)
  message(FATAL_ERROR "the clean build differs from this build:\n  ${built} (${WORK})\n"
          "  ${expected} (${EXPECTED})")
endif()
file(SIZE ${EXPECTED} size)
message(STATUS "a clean build elsewhere: identical pelko-setup.exe, ${size} bytes, sha256 ${built}")
