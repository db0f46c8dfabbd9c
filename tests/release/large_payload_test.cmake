# An installer around a payload of 9 MiB, whose stream the packer cuts into two pieces: the build
# places a section with an index of two pieces, and the installer, run under Wine, inflates them
# at the same time and installs every file with the bytes of the payload, its 1,100 small files
# written on every processor.
# BUILD is a configured build of the installer (release.reproducible_build leaves one), whose
# payload, check and version this test sets.
# Run as: cmake -DSOURCE=... -DBUILD=... -DWORK=... -DPACKER=... -DTEST_PAYLOAD=... -DVERSION=... -DWINE_RUN=...
#         -DLAUNCHER=... -P large_payload_test.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

include(${CMAKE_CURRENT_LIST_DIR}/release_steps.cmake)

run("making the files" ${TEST_PAYLOAD} files ${WORK})
run("pelko-pack pack" ${PACKER} pack ${WORK}/manifest.txt ${WORK}/payload.bin
    --section ${WORK}/packed.section)
# The section pack wrote from the cuts it made is the one the build makes of the payload file,
# with the index read off the stream.
run("pelko-pack prepare" ${PACKER} prepare ${WORK}/payload.bin ${WORK}/payload.section)
if(NOT out MATCHES ": 2 piece\\(s\\)")
  message(FATAL_ERROR "the packed stream is not indexed in two pieces: ${out}")
endif()
run("comparing the sections" ${CMAKE_COMMAND} -E compare_files ${WORK}/packed.section
    ${WORK}/payload.section)

set(build ${BUILD})
run("configure" ${CMAKE_COMMAND} -S ${SOURCE} -B ${build} -DPELKO_PAYLOAD=${WORK}/payload.bin
    -DPELKO_PAYLOAD_CHECK=ON -DPELKO_VERSION=${VERSION})
run("build" ${CMAKE_COMMAND} --build ${build} --target pelko-setup -j 2)
# The executable carries that section, its index of two pieces.
run("pelko-pack list --json of the installer" ${PACKER} list --json ${build}/pelko-setup.exe)
string(JSON pieces GET "${out}" index_pieces)
if(NOT pieces EQUAL 2)
  message(FATAL_ERROR "the installer's index has ${pieces} pieces, not 2")
endif()

# Update mode: the payload has no guard, so the run fails after its success line without a box.
wine_path(${WORK}/local local)
wine_path(${build}/pelko-setup.exe exe)
execute_process(COMMAND ${WINE_RUN} ${LAUNCHER} --set "LOCALAPPDATA=${local}" --timeout 120
                        --cmdline "\"${exe}\" --update" ${exe}
                OUTPUT_VARIABLE out ERROR_VARIABLE out)
file(READ ${WORK}/local/Pelko/logs/setup.log log)
if(NOT log MATCHES " v[0-9.]+ installed in ")
  message(FATAL_ERROR "no success line in the log:\n${log}\n${out}")
endif()
# The install directory holds the payload's files, each with its bytes, and nothing else.
execute_process(COMMAND diff -r ${WORK}/files ${WORK}/local/Programs/Pelko
                OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE differs)
if(NOT differs EQUAL 0)
  message(FATAL_ERROR "the installed files are not the payload's:\n${out}")
endif()
file(STRINGS ${WORK}/manifest.txt lines)
list(LENGTH lines count)
file(SIZE ${WORK}/payload.bin stored)
message(STATUS "a payload of two pieces (${stored} bytes stored) installs its ${count} files exactly")
file(REMOVE_RECURSE ${WORK})
