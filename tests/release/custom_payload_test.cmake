# Builds around payloads packed elsewhere. The build reads the payload the way the installer will:
# one that the installer would refuse (a file of the payload as another's staging file) does not
# build, unless PELKO_PAYLOAD_CHECK is OFF; then it is embedded as it is, and the installer itself
# refuses it under Wine. An empty payload builds, and its run installs nothing, writes the
# uninstall entry and the shortcut, logs its success line and fails to start the guard; it is
# built with another version (PELKO_VERSION), which its resources, its log and its uninstall
# entry carry. A payload
# of 3.5 GiB, or of 30 million entries, in a process that cannot have that much memory fails with
# a text, not an abort.
# BUILD is a configured build of the installer (release.reproducible_build leaves one), whose
# payload, check and version this test sets.
# Run as: cmake -DSOURCE=... -DBUILD=... -DWORK=... -DPYTHON=... -DTEST_PAYLOAD=... -DWINE_RUN=... -DVERSION=...
#         -DLAUNCHER=... -DRESOURCES_TEST=... -P custom_payload_test.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

include(${CMAKE_CURRENT_LIST_DIR}/release_steps.cmake)

run("making the payloads" ${PYTHON} -c [[
import sys, zlib
out = sys.argv[1]
def entry(name, data):
    return len(name).to_bytes(2, "little") + name + len(data).to_bytes(4, "little") + data
names = [b"pelko.exe", b"pelko-guard.exe", b"a.new", b"a.dll", b"notes.NEW"]
deflate = zlib.compressobj(9, zlib.DEFLATED, -15)
container = b"".join(entry(name, b"new " + name) for name in names)
open(out + "/staging.bin", "wb").write(deflate.compress(container) + deflate.flush())
open(out + "/empty.bin", "wb").write(bytes([3, 0]))
]] ${WORK})

# Runs the build's installer under Wine in update mode (no box), with the two folders of the
# profile in WORK/<name>, after any words of the command that runs it (a limit on its memory);
# leaves the exit code in `code` and the log in `log`.
function(run_installer name)
  file(MAKE_DIRECTORY "${WORK}/${name}/Roaming/Microsoft/Windows/Start Menu/Programs")
  wine_path(${WORK}/${name} profile)
  wine_path(${build}/pelko-setup.exe exe)
  execute_process(COMMAND ${ARGN} ${WINE_RUN} ${LAUNCHER} --set "LOCALAPPDATA=${profile}"
                          --set "APPDATA=${profile}\\Roaming" --timeout 120
                          --cmdline "\"${exe}\" --update" ${exe}
                  OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE result)
  file(READ ${WORK}/${name}/Pelko/logs/setup.log text)
  set(code "${result}" PARENT_SCOPE)
  set(log "${text}" PARENT_SCOPE)
endfunction()

function(expect_log_messages what)
  string(REGEX REPLACE "(^|\n)[0-9]+ pid [0-9]+ " "\\1" messages "${log}")
  string(REPLACE ";" "," expected "${ARGN}")
  string(REPLACE "\n" ";" messages "${messages}")
  list(REMOVE_ITEM messages "")
  string(REPLACE ";" "," messages "${messages}")
  if(NOT messages STREQUAL expected)
    message(FATAL_ERROR "${what}: the log reads\n  [${messages}]\nnot\n  [${expected}]")
  endif()
endfunction()

set(build ${BUILD})
run("configure" ${CMAKE_COMMAND} -S ${SOURCE} -B ${build} -DPELKO_PAYLOAD=${WORK}/staging.bin
    -DPELKO_PAYLOAD_CHECK=ON -DPELKO_VERSION=${VERSION})
execute_process(COMMAND ${CMAKE_COMMAND} --build ${build} --target pelko-setup -j 2
                OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE code)
if(code EQUAL 0 OR NOT out MATCHES "staging.bin: bad name a.new")
  message(FATAL_ERROR "a payload the installer refuses was built around (${code}):\n${out}")
endif()

run("configure unchecked" ${CMAKE_COMMAND} -S ${SOURCE} -B ${build} -DPELKO_PAYLOAD_CHECK=OFF)
run("build unchecked" ${CMAKE_COMMAND} --build ${build} --target pelko-setup -j 2)
run_installer(refused)
expect_log_messages("the unchecked payload" "setup v${VERSION}, update: true" "failed: bad name a.new")
if(NOT code EQUAL 1 OR EXISTS ${WORK}/refused/Programs)
  message(FATAL_ERROR "the refused payload: exit code ${code}, or files were written")
endif()

run("configure empty" ${CMAKE_COMMAND} -S ${SOURCE} -B ${build} -DPELKO_PAYLOAD_CHECK=ON
    -DPELKO_PAYLOAD=${WORK}/empty.bin -DPELKO_VERSION=0.2.0)
run("build empty" ${CMAKE_COMMAND} --build ${build} --target pelko-setup -j 2)
run_installer(empty)
wine_path(${WORK}/empty/Programs/Pelko install_dir)
expect_log_messages("the empty payload" "setup v0.2.0, update: true"
  "v0.2.0 installed in ${install_dir}"
  "failed: Pelko not started: Path not found. (os error 3)")
if(NOT code EQUAL 1 OR EXISTS ${WORK}/empty/Programs)
  message(FATAL_ERROR "the empty payload: exit code ${code}, or an install directory was made")
endif()
if(NOT EXISTS "${WORK}/empty/Roaming/Microsoft/Windows/Start Menu/Programs/Pelko.lnk")
  message(FATAL_ERROR "the empty payload: no shortcut")
endif()
foreach(value "InstallLocation=${install_dir}" "DisplayVersion=0.2.0")
  string(REGEX MATCH "^[^=]+" name "${value}")
  string(REGEX REPLACE "^[^=]+=" "" expected "${value}")
  run("reading the uninstall entry" ${WINE_RUN} reg query
      "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pelko" /v ${name})
  string(REPLACE "\r" "" out "${out}")
  string(FIND "${out}" "REG_SZ    ${expected}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the empty payload: ${name} is not this run's:\n${out}")
  endif()
endforeach()
wine_path(${build}/pelko-setup.exe exe)
run("reading the resources back" ${CMAKE_COMMAND} -E env PELKO_RESOURCES_OF=${exe}
    PELKO_EXPECTED_VERSION=0.2.0 ${WINE_RUN} ${RESOURCES_TEST})
# One entry of 3,757,512,001 zero bytes, stored in 3.6 MB, embedded unchecked (the check would
# inflate it all here), in the same build, still of version 0.2.0; the installer and Wine get
# 3 GB of address space.
run("making a payload of 3.5 GiB" ${TEST_PAYLOAD} zeros 14564000 ${WORK}/huge.bin)
run("configure huge" ${CMAKE_COMMAND} -S ${SOURCE} -B ${build} -DPELKO_PAYLOAD_CHECK=OFF
    -DPELKO_PAYLOAD=${WORK}/huge.bin)
run("build huge" ${CMAKE_COMMAND} --build ${build} --target pelko-setup -j 2)
run_installer(huge prlimit --as=3000000000)
expect_log_messages("the payload beyond the memory" "setup v0.2.0, update: true"
  "failed: not enough memory for the payload (3757512001 bytes)")
if(NOT code EQUAL 1 OR EXISTS ${WORK}/huge/Programs)
  message(FATAL_ERROR "the payload beyond the memory: exit code ${code}, or files were written")
endif()

# 30 million entries named "a" without data (210 MB inflated, stored in about 200 KB, in four
# pieces): no buffer of the payload is large, but its entry list is, and it cannot be had.
run("making a payload of 30 million entries" ${PYTHON} -c [[
import sys, zlib
deflate = zlib.compressobj(9, zlib.DEFLATED, -15)
quarter = b"\x01\x00a\x00\x00\x00\x00" * 7500000
stream = b"".join(deflate.compress(quarter) + deflate.flush(zlib.Z_FULL_FLUSH) for _ in range(3))
open(sys.argv[1], "wb").write(stream + deflate.compress(quarter) + deflate.flush())
]] ${WORK}/many.bin)
run("configure many" ${CMAKE_COMMAND} -S ${SOURCE} -B ${build} -DPELKO_PAYLOAD=${WORK}/many.bin)
run("build many" ${CMAKE_COMMAND} --build ${build} --target pelko-setup -j 2)
run_installer(many prlimit --as=2500000000)
string(REGEX REPLACE "(^|\n)[0-9]+ pid [0-9]+ " "\\1" messages "${log}")
if(NOT code EQUAL 1 OR NOT messages MATCHES
   "^setup v0.2.0, update: true\nfailed: not enough memory for the payload \\([0-9]+ bytes\\)\n$"
   OR EXISTS ${WORK}/many/Programs)
  message(FATAL_ERROR "the payload of many entries: exit code ${code}, the log\n${log}\nor files were written")
endif()
message(STATUS "30 million entries in 2.5 GB of address space: ${messages}")

message(STATUS "payloads packed elsewhere: refused as the installer refuses them, embedded "
               "unchecked when asked, an empty one builds and runs, and ones beyond the memory "
               "(one entry too large, or too many entries) fail with their texts")
file(REMOVE_RECURSE ${WORK})
