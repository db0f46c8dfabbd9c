# pelko-pack, the built program: what it prints where (standard output, standard error, each line
# of a failure after "pelko-pack: "), its exit codes, and what only a process shows (a source the
# user cannot read, a stop by a signal). What the commands make and refuse is tested by the unit
# tests (tests/unit/packer_commands_test.cpp).
# Run as: cmake -DPACKER=... -DWORK=... -P round_trip_test.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/src/sub)

function(expect_equal actual expected what)
  if(NOT "${actual}" STREQUAL "${expected}")
    message(FATAL_ERROR "${what}:\n  expected: [${expected}]\n  actual:   [${actual}]")
  endif()
endfunction()

# Runs the packer; sets out, err and code in the caller.
function(run_packer)
  execute_process(COMMAND ${PACKER} ${ARGN} OUTPUT_VARIABLE o ERROR_VARIABLE e RESULT_VARIABLE c)
  set(out "${o}" PARENT_SCOPE)
  set(err "${e}" PARENT_SCOPE)
  set(code "${c}" PARENT_SCOPE)
endfunction()

set(TAB "\t")
file(WRITE ${WORK}/src/app.bin "MZ application bytes\n")
file(WRITE ${WORK}/src/app2.bin "MZ application bytes, version 2\n")
file(WRITE ${WORK}/src/sub/readme.txt "read me\r\nsecond line\n")
file(WRITE ${WORK}/manifest.txt
  "pelko.exe${TAB}src/app.bin\nsub/readme.txt${TAB}src/sub/readme.txt\n")
file(WRITE ${WORK}/manifest2.txt "pelko.exe${TAB}src/app2.bin\n")

# pack, list, list --json, prepare, extract: exit 0, their lines on standard output, nothing on
# standard error (no terminal: no progress)
run_packer(pack ${WORK}/manifest.txt ${WORK}/payload.bin --section ${WORK}/packed.section)
expect_equal("${code}:${err}" "0:" "pack")
if(NOT out MATCHES "^[^\n]*payload.bin: 2 entries, container 77 bytes, stored [0-9]+ bytes \\([^\n]+\\)\n$")
  message(FATAL_ERROR "pack output: [${out}]")
endif()
run_packer(list ${WORK}/payload.bin)
expect_equal("${code}:${err}" "0:" "list")
if(NOT out MATCHES "^pelko.exe${TAB}21\nsub/readme.txt${TAB}21\n2 entries, 42 bytes of file data, container 77 bytes, stored [0-9]+ bytes\nCRC-32 [0-9a-f]+\n$")
  message(FATAL_ERROR "list output: [${out}]")
endif()
run_packer(list --json ${WORK}/payload.bin)
expect_equal("${code}:${err}" "0:" "list --json")
string(JSON count GET "${out}" entry_count)
expect_equal("${count}" "2" "list --json: the entries")
run_packer(prepare ${WORK}/payload.bin ${WORK}/prepared.section)
expect_equal("${code}:${err}" "0:" "prepare")
if(NOT out MATCHES "prepared.section: 1 piece\\(s\\)\n$")
  message(FATAL_ERROR "prepare output: [${out}]")
endif()
run_packer(extract ${WORK}/payload.bin ${WORK}/out)
expect_equal("${code}:${err}" "0:" "extract")
if(NOT out MATCHES "out[/\\\\]pelko.exe\n[^\n]*out[/\\\\]sub[/\\\\]readme.txt\n$")
  message(FATAL_ERROR "extract output: [${out}]")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/out/sub/readme.txt
                        ${WORK}/src/sub/readme.txt RESULT_VARIABLE differs)
expect_equal("${differs}" "0" "extract: sub/readme.txt")

# diff: exit 1 with the differences on standard output, 0 when there are none, 2 on trouble
run_packer(pack ${WORK}/manifest2.txt ${WORK}/payload2.bin)
expect_equal("${code}" "0" "pack of the second payload: ${err}")
run_packer(diff ${WORK}/payload.bin ${WORK}/payload2.bin)
expect_equal("${code}:${out}:${err}"
  "1:changed  pelko.exe (21 -> 32 bytes)\nremoved  sub/readme.txt (21 bytes)\n:" "diff of two payloads")
run_packer(diff ${WORK}/payload.bin ${WORK}/payload.bin)
expect_equal("${code}:${out}:${err}" "0::" "diff of a payload with itself")
run_packer(diff ${WORK}/payload.bin ${WORK}/manifest.txt)
expect_equal("${code}:${out}:${err}"
  "2::pelko-pack: ${WORK}/manifest.txt: not a payload or an installer (its data does not inflate)\n"
  "diff with a manifest")

# for scripts: the usage on standard output for --help, on standard error (exit 2) for a command
# line it does not take; the version
run_packer(--help)
string(FIND "${out}" "usage: pelko-pack pack MANIFEST OUTPUT" at)
if(NOT code EQUAL 0 OR NOT at EQUAL 0 OR NOT err STREQUAL "")
  message(FATAL_ERROR "--help: exit ${code}, standard output [${out}]")
endif()
run_packer(list)
string(FIND "${err}" "usage: pelko-pack pack MANIFEST OUTPUT" at)
if(NOT code EQUAL 2 OR NOT at EQUAL 0 OR NOT out STREQUAL "")
  message(FATAL_ERROR "a bad command line: exit ${code}, standard error [${err}]")
endif()
run_packer(--version)
if(NOT code EQUAL 0 OR NOT out MATCHES "^pelko-pack [0-9]+\\.[0-9]+\\.[0-9]+\n$")
  message(FATAL_ERROR "--version: exit ${code}, [${out}]")
endif()

# A refusal: exit 1, nothing on standard output, each problem a line of standard error.
string(ASCII 1 control)
file(WRITE ${WORK}/windows-names.txt
  "a<b.txt${TAB}src/app.bin\n"
  "readme.${TAB}src/app.bin\n"
  "tab${control}.txt${TAB}src/app.bin\n")
run_packer(pack ${WORK}/windows-names.txt ${WORK}/refused.bin)
string(REPLACE "${WORK}/" "" err "${err}")
expect_equal("${code}:${out}:${err}" "1::\
pelko-pack: windows-names.txt:1: bad name a<b.txt (holds <, which Windows does not allow in a file name)
pelko-pack: windows-names.txt:2: bad name readme. (the component \"readme.\" ends in a dot or a blank, which Windows drops)
pelko-pack: windows-names.txt:3: bad name tab\\x01.txt (holds the control character U+0001, which Windows does not allow in a file name)
" "a refused manifest")
file(WRITE ${WORK}/junk.bin "this is not a deflate stream at all")
run_packer(prepare ${WORK}/junk.bin ${WORK}/junk.section)
if(NOT code EQUAL 1 OR NOT err MATCHES "^pelko-pack: [^\n]*junk.bin: not a raw DEFLATE stream that inflates \\(DecompressError { status: Failed, output: \\[[^\n]*\\] }\\)\n$")
  message(FATAL_ERROR "prepare of junk: exit ${code}, [${err}]")
endif()
if(EXISTS ${WORK}/refused.bin OR EXISTS ${WORK}/refused.bin..partial OR EXISTS ${WORK}/junk.section)
  message(FATAL_ERROR "a refused command wrote its output")
endif()

if(NOT PACKER MATCHES "wine-run")
  # An unreadable source is found before anything is compressed (as root, the packer runs as
  # nobody, for whom the file is unreadable), the line named.
  file(WRITE ${WORK}/src/secret.bin "secret")
  file(WRITE ${WORK}/src/big.txt "big")
  file(CHMOD ${WORK}/src/secret.bin PERMISSIONS OWNER_WRITE)
  file(CHMOD ${WORK} ${WORK}/src PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
       GROUP_EXECUTE WORLD_READ WORLD_WRITE WORLD_EXECUTE)
  file(WRITE ${WORK}/unreadable.txt "big.txt${TAB}src/big.txt\nsecret.bin${TAB}src/secret.bin\n")
  execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(as_nobody)
  if(uid EQUAL 0)
    set(as_nobody setpriv --reuid=nobody --regid=nogroup --clear-groups)
  endif()
  execute_process(COMMAND ${as_nobody} ${PACKER} pack ${WORK}/unreadable.txt ${WORK}/refused.bin
                  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE code)
  expect_equal("${code}:${err}"
    "1:pelko-pack: ${WORK}/unreadable.txt:2: ${WORK}/src/secret.bin: cannot open: Permission denied\n"
    "an unreadable source")

  # A pack stopped by SIGTERM leaves neither its output nor its temporary file.
  execute_process(COMMAND head -c 33554432 /dev/urandom OUTPUT_FILE ${WORK}/src/noise.bin)
  file(WRITE ${WORK}/noise.txt "noise.bin${TAB}src/noise.bin\n")
  execute_process(COMMAND bash -c [[
"$1" pack "$2/noise.txt" "$2/stopped.bin" & pid=$!
for i in $(seq 200); do [ -e "$2/stopped.bin..partial" ] && break; sleep 0.02; done
[ -e "$2/stopped.bin..partial" ] || { echo "no temporary file seen"; exit 3; }
kill -TERM $pid; wait $pid; status=$?
[ $status -eq 143 ] || { echo "exit $status, not stopped by the signal"; exit 4; }
ls "$2" | grep stopped && exit 5
exit 0
]] bash ${PACKER} ${WORK} OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE code)
  expect_equal("${code}" "0" "a pack stopped by SIGTERM: ${out}")
endif()
message(STATUS "packer round trip: ok")
