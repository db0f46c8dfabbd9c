# pelko-pack: pack -> list -> extract gives back every file exactly; the JSON listing and the
# comparison of two payloads tell what is in them; bad input is refused with a clear message and
# nothing written.
# Run as: cmake -DPACKER=... -DWORK=... -DPYTHON=... -P round_trip_test.cmake
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

function(expect_refused what needle)
  run_packer(${ARGN})
  if(code EQUAL 0)
    message(FATAL_ERROR "${what}: accepted")
  endif()
  string(FIND "${err}" "${needle}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${what}: message [${err}] lacks [${needle}]")
  endif()
endfunction()

set(TAB "\t")
file(WRITE ${WORK}/src/app.bin "MZ application bytes\n")
string(REPEAT "pelko " 20000 big)
file(WRITE ${WORK}/src/big.txt "${big}")
file(WRITE ${WORK}/src/empty.dat "")
file(WRITE ${WORK}/src/sub/readme.txt "read me\r\nsecond line\n")
file(WRITE ${WORK}/manifest.txt
  "pelko.exe${TAB}src/app.bin\r\n"
  "big.txt${TAB}src/big.txt\n"
  "\n"
  "empty.dat${TAB}${WORK}/src/empty.dat\n"
  "sub/readme.txt${TAB}src/sub/readme.txt\n")

# pack, with the section the build embeds
run_packer(pack ${WORK}/manifest.txt ${WORK}/payload.bin --section ${WORK}/packed.section)
expect_equal("${code}" "0" "pack: ${err}")
string(FIND "${out}" "4 entries" at)
if(at EQUAL -1)
  message(FATAL_ERROR "pack output: ${out}")
endif()

# list: entries in manifest order with their sizes, then the totals
run_packer(list ${WORK}/payload.bin)
expect_equal("${code}" "0" "list: ${err}")
string(REGEX REPLACE "\n[0-9]+ entries.*" "" listed "${out}")
expect_equal("${listed}"
  "pelko.exe${TAB}21\nbig.txt${TAB}120000\nempty.dat${TAB}0\nsub/readme.txt${TAB}21"
  "list entries")
string(REGEX MATCH "4 entries, 120042 bytes of file data, container [0-9]+ bytes" totals "${out}")
if(NOT totals)
  message(FATAL_ERROR "list totals: ${out}")
endif()

# the CRC-32 of the stored payload: in the listing, and at the head of the section for the build
string(REGEX MATCH "\nCRC-32 ([0-9a-f]+)\n" crc_line "${out}")
if(NOT crc_line)
  message(FATAL_ERROR "list shows no CRC-32: ${out}")
endif()
set(listed_crc "${CMAKE_MATCH_1}")
file(READ ${WORK}/packed.section crc_hex LIMIT 4 HEX)
string(REGEX REPLACE "^(..)(..)(..)(..)$" "\\4\\3\\2\\1" crc_hex "${crc_hex}")
expect_equal("${crc_hex}" "${listed_crc}" "the section's CRC-32 against the listing")
# The section pack writes from the cuts it made is the one prepare reads off the stream.
run_packer(prepare ${WORK}/payload.bin ${WORK}/prepared.section)
expect_equal("${code}" "0" "prepare: ${err}")
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/packed.section
                        ${WORK}/prepared.section RESULT_VARIABLE differs)
expect_equal("${differs}" "0" "the section pack writes against the one prepare makes")

# list --json: the entries in order with their SHA-256, the totals and the CRC-32
run_packer(list --json ${WORK}/payload.bin)
expect_equal("${code}" "0" "list --json: ${err}")
string(JSON kind GET "${out}" kind)
string(JSON count GET "${out}" entry_count)
string(JSON data_bytes GET "${out}" file_data_bytes)
string(JSON json_crc GET "${out}" crc32)
expect_equal("${kind} ${count} ${data_bytes} ${json_crc}" "payload 4 120042 ${listed_crc}"
             "the JSON totals")
set(index 0)
foreach(pair "pelko.exe=src/app.bin" "big.txt=src/big.txt" "empty.dat=src/empty.dat"
             "sub/readme.txt=src/sub/readme.txt")
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 name)
  list(GET pair 1 source)
  file(SIZE ${WORK}/${source} size)
  file(SHA256 ${WORK}/${source} sha)
  string(JSON json_name GET "${out}" entries ${index} name)
  string(JSON json_size GET "${out}" entries ${index} size)
  string(JSON json_sha GET "${out}" entries ${index} sha256)
  expect_equal("${json_name} ${json_size} ${json_sha}" "${name} ${size} ${sha}" "JSON entry ${index}")
  math(EXPR index "${index} + 1")
endforeach()

# diff: changed and added in the new install order, then removed; exit 1 when they differ
file(WRITE ${WORK}/src/app2.bin "MZ application bytes, version 2\n")
file(WRITE ${WORK}/src/new.txt "new file\n")
file(WRITE ${WORK}/manifest2.txt
  "new.txt${TAB}src/new.txt\n"
  "pelko.exe${TAB}src/app2.bin\n"
  "big.txt${TAB}src/big.txt\n"
  "sub/readme.txt${TAB}src/sub/readme.txt\n")
run_packer(pack ${WORK}/manifest2.txt ${WORK}/payload2.bin)
expect_equal("${code}" "0" "pack of the second payload: ${err}")
run_packer(diff ${WORK}/payload.bin ${WORK}/payload2.bin)
expect_equal("${code}:${out}"
  "1:added    new.txt (9 bytes)\nchanged  pelko.exe (21 -> 32 bytes)\nremoved  empty.dat (0 bytes)\n"
  "diff of two payloads")
run_packer(diff ${WORK}/payload.bin ${WORK}/payload.bin)
expect_equal("${code}:${out}" "0:" "diff of a payload with itself")
run_packer(diff ${WORK}/payload.bin ${WORK}/nothing.bin)
expect_equal("${code}" "2" "diff with a missing file")

# diff pairs files as Windows finds them: a name changed in letter case only is a change
file(WRITE ${WORK}/manifest3.txt "new.txt${TAB}src/new.txt\nPelko.EXE${TAB}src/app2.bin\n")
run_packer(pack ${WORK}/manifest3.txt ${WORK}/payload3.bin)
expect_equal("${code}" "0" "pack of the third payload: ${err}")
run_packer(diff ${WORK}/payload2.bin ${WORK}/payload3.bin)
expect_equal("${code}:${out}"
  "1:changed  Pelko.EXE (named pelko.exe before; 32 -> 32 bytes)\nremoved  big.txt (120000 bytes)\nremoved  sub/readme.txt (21 bytes)\n"
  "diff of a file renamed in letter case")

# extract: every file back, byte for byte
run_packer(extract ${WORK}/payload.bin ${WORK}/out)
expect_equal("${code}" "0" "extract: ${err}")
foreach(pair "pelko.exe=src/app.bin" "big.txt=src/big.txt" "empty.dat=src/empty.dat"
             "sub/readme.txt=src/sub/readme.txt")
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 name)
  list(GET pair 1 source)
  if(NOT EXISTS ${WORK}/out/${name})
    message(FATAL_ERROR "extract: ${name} missing")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/out/${name} ${WORK}/${source}
                  RESULT_VARIABLE differs)
  expect_equal("${differs}" "0" "extract: ${name} differs")
endforeach()

# extract writes each file under a temporary name that no file of a payload can have
file(WRITE ${WORK}/tmp-names.txt "notes.tmp${TAB}src/new.txt\nnotes${TAB}src/app.bin\nnotes.partial${TAB}src/big.txt\n")
run_packer(pack ${WORK}/tmp-names.txt ${WORK}/tmp-names.bin)
expect_equal("${code}" "0" "pack of names like temporaries: ${err}")
run_packer(extract ${WORK}/tmp-names.bin ${WORK}/tmp-out)
expect_equal("${code}" "0" "extract of names like temporaries: ${err}")
foreach(pair "notes.tmp=src/new.txt" "notes=src/app.bin" "notes.partial=src/big.txt")
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 name)
  list(GET pair 1 source)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/tmp-out/${name} ${WORK}/${source}
                  RESULT_VARIABLE differs)
  expect_equal("${differs}" "0" "extract of names like temporaries: ${name}")
endforeach()
file(GLOB extracted RELATIVE ${WORK}/tmp-out ${WORK}/tmp-out/*)
list(SORT extracted)
expect_equal("${extracted}" "notes;notes.partial;notes.tmp" "the files extract leaves")

# for scripts: the usage on standard output, the version, and no empty payload unless asked for
run_packer(--help)
string(FIND "${out}" "usage: pelko-pack pack MANIFEST OUTPUT" at)
if(NOT code EQUAL 0 OR NOT at EQUAL 0)
  message(FATAL_ERROR "--help: exit ${code}, standard output [${out}]")
endif()
run_packer(--version)
if(NOT code EQUAL 0 OR NOT out MATCHES "^pelko-pack [0-9]+\\.[0-9]+\\.[0-9]+\n$")
  message(FATAL_ERROR "--version: exit ${code}, [${out}]")
endif()
file(WRITE ${WORK}/empty-manifest.txt "\n")
expect_refused("an empty manifest" "empty-manifest.txt: no files (give --allow-empty to pack an empty payload)"
  pack ${WORK}/empty-manifest.txt ${WORK}/refused.bin)
run_packer(pack ${WORK}/empty-manifest.txt ${WORK}/empty-payload.bin --allow-empty)
expect_equal("${code}" "0" "pack --allow-empty of an empty manifest: ${err}")

# A manifest saved with a UTF-8 byte-order mark: the mark is no part of the first name.
string(ASCII 239 187 191 bom)
file(WRITE ${WORK}/bom.txt "${bom}pelko.exe${TAB}src/app.bin\nsub/readme.txt${TAB}src/sub/readme.txt\n")
run_packer(pack ${WORK}/bom.txt ${WORK}/bom.bin)
expect_equal("${code}" "0" "pack of a manifest with a byte-order mark: ${err}")
run_packer(list ${WORK}/bom.bin)
string(REGEX REPLACE "\n[0-9]+ entries.*" "" listed "${out}")
expect_equal("${listed}" "pelko.exe${TAB}21\nsub/readme.txt${TAB}21" "the names of a manifest with a byte-order mark")

# refusals: nothing is written
file(WRITE ${WORK}/bad-name.txt "ok.txt${TAB}src/app.bin\n../evil.txt${TAB}src/app.bin\n")
expect_refused("dotdot name" "bad name ../evil.txt" pack ${WORK}/bad-name.txt ${WORK}/refused.bin)
file(WRITE ${WORK}/drive-name.txt "C:evil.txt${TAB}src/app.bin\n")
expect_refused("drive-relative name" "bad name C:evil.txt" pack ${WORK}/drive-name.txt ${WORK}/refused.bin)
file(WRITE ${WORK}/dir-name.txt "sub/${TAB}src/app.bin\n")
expect_refused("directory name" "bad name sub/" pack ${WORK}/dir-name.txt ${WORK}/refused.bin)
file(WRITE ${WORK}/device-name.txt "ok.txt${TAB}src/app.bin\nsub/Con.txt${TAB}src/app.bin\n")
expect_refused("device name" "bad name sub/Con.txt" pack ${WORK}/device-name.txt ${WORK}/refused.bin)
file(WRITE ${WORK}/stream-name.txt "notes.txt:hidden${TAB}src/app.bin\n")
expect_refused("alternate stream" "bad name notes.txt:hidden" pack ${WORK}/stream-name.txt ${WORK}/refused.bin)
file(WRITE ${WORK}/missing.txt "a.txt${TAB}src/not-there.bin\n")
expect_refused("missing source" "not-there.bin: no such file" pack ${WORK}/missing.txt ${WORK}/refused.bin)
file(WRITE ${WORK}/dir-source.txt "a.txt${TAB}src/sub\n")
foreach(needle "dir-source.txt:1: " "sub: a directory, not a file")
  expect_refused("a directory as a source" "${needle}" pack ${WORK}/dir-source.txt ${WORK}/refused.bin)
endforeach()
file(WRITE ${WORK}/no-tab.txt "a.txt src/app.bin\n")
expect_refused("line without a tab" "no-tab.txt:1: expected" pack ${WORK}/no-tab.txt ${WORK}/refused.bin)
string(REPEAT "n" 65536 long_name)
file(WRITE ${WORK}/long-name.txt "${long_name}${TAB}src/app.bin\n")
expect_refused("name over 16 bits" "name too long for 16 bits (65536 bytes)" pack ${WORK}/long-name.txt ${WORK}/refused.bin)
execute_process(COMMAND truncate -s 4294967296 ${WORK}/src/huge.bin RESULT_VARIABLE made)
if(made EQUAL 0)
  file(WRITE ${WORK}/huge.txt "huge.bin${TAB}src/huge.bin\n")
  expect_refused("file over 4 GiB" "file over 4 GiB (4294967296 bytes)" pack ${WORK}/huge.txt ${WORK}/refused.bin)
  file(REMOVE ${WORK}/src/huge.bin)
endif()
file(WRITE ${WORK}/staging.txt "a.new${TAB}src/app.bin\na.dll${TAB}src/app.bin\nok.txt${TAB}src/app.bin\n")
foreach(needle "staging.txt:1: bad name a.new: it is written first as a.new, which is the file itself"
               "staging.txt:2: bad name a.dll: it is written first as a.new, which is the file a.new (line 1)")
  expect_refused("a file of the payload as a staging file" "${needle}"
    pack ${WORK}/staging.txt ${WORK}/refused.bin)
endforeach()
# Names Windows mixes up or cannot create: every line reported, with its number, in one run.
string(ASCII 1 control)
file(WRITE ${WORK}/windows-names.txt
  "a<b.txt${TAB}src/app.bin\n"          # 1: a character Windows refuses
  "x.new/readme.txt${TAB}src/app.bin\n" # 2
  "x.dll${TAB}src/app.bin\n"            # 3: its staging file is line 2's directory
  "readme.${TAB}src/app.bin\n"          # 4: Windows drops the dot
  "lib/a.dll${TAB}src/app.bin\n"        # 5
  "LIB/A.DLL${TAB}src/app.bin\n"        # 6: line 5's file
  "lib${TAB}src/app.bin\n"              # 7: line 5's directory
  "tab${control}.txt${TAB}src/app.bin\n") # 8: a control character
run_packer(pack ${WORK}/windows-names.txt ${WORK}/refused.bin)
string(REPLACE "${WORK}/" "" err "${err}")
expect_equal("${code}:${err}" "1:\
pelko-pack: windows-names.txt:1: bad name a<b.txt (holds <, which Windows does not allow in a file name)
pelko-pack: windows-names.txt:3: bad name x.dll: it is written first as x.new, which is a directory of x.new/readme.txt (line 2) (the installer writes each file beside its target with the extension \"new\" and then moves it over the target)
pelko-pack: windows-names.txt:4: bad name readme. (the component \"readme.\" ends in a dot or a blank, which Windows drops)
pelko-pack: windows-names.txt:6: LIB/A.DLL is the file of lib/a.dll (line 5) under Windows' name rules (letter case, trailing dots and blanks do not count)
pelko-pack: windows-names.txt:7: bad name lib: it is also a directory of lib/a.dll (line 5)
pelko-pack: windows-names.txt:8: bad name tab\\x01.txt (holds the control character U+0001, which Windows does not allow in a file name)
" "the names Windows mixes up or cannot create")
expect_refused("missing manifest" "cannot read the manifest" pack ${WORK}/none.txt ${WORK}/refused.bin)
if(EXISTS ${WORK}/refused.bin OR EXISTS ${WORK}/refused.bin..partial)
  message(FATAL_ERROR "a refused pack wrote its output")
endif()

# prepare: the section the build embeds of a payload packed elsewhere, once it reads as the
# installer reads it. An empty payload (the raw DEFLATE stream 03 00) is one.
execute_process(COMMAND ${PYTHON} -c "open('${WORK}/empty.bin', 'wb').write(bytes([3, 0]))")
run_packer(prepare ${WORK}/empty.bin ${WORK}/empty.section)
expect_equal("${code}" "0" "prepare of an empty payload: ${err}")
run_packer(list ${WORK}/empty.bin)
expect_equal("${code}" "0" "list of an empty payload: ${err}")
string(FIND "${out}" "0 entries, 0 bytes of file data, container 0 bytes, stored 2 bytes" at)
if(at EQUAL -1)
  message(FATAL_ERROR "list of an empty payload: ${out}")
endif()

file(WRITE ${WORK}/junk.bin "this is not a deflate stream at all")
expect_refused("prepare of junk" "junk.bin: not a raw DEFLATE stream that inflates (DecompressError { status: "
  prepare ${WORK}/junk.bin ${WORK}/junk.section)
# A sound stream of a container the installer refuses: the installer's own text.
execute_process(COMMAND ${PYTHON} -c [[
import sys, zlib
entry = lambda name, data: len(name).to_bytes(2, "little") + name + len(data).to_bytes(4, "little") + data
c = zlib.compressobj(9, zlib.DEFLATED, -15)
open(sys.argv[1], "wb").write(c.compress(entry(b"ok.txt", b"1") + entry(b"../x", b"2")) + c.flush())
]] ${WORK}/refused-names.bin RESULT_VARIABLE made)
expect_equal("${made}" "0" "making a payload with a bad name")
expect_refused("prepare of a bad name" "refused-names.bin: bad name ../x"
  prepare ${WORK}/refused-names.bin ${WORK}/refused.section)
# What the installer reads but Windows cannot create, and names that Windows mixes up (both
# named); a name given twice is the installer's to take.
execute_process(COMMAND ${PYTHON} -c [[
import sys, zlib
entry = lambda name, data: len(name).to_bytes(2, "little") + name + len(data).to_bytes(4, "little") + data
for out, names in (("odd.bin", [b"ok.txt", b"what?.txt"]), ("clash.bin", [b"x.new/a", b"x.dll"]),
                   ("twice.bin", [b"a.dll", b"A.DLL", b"a.dll"])):
    c = zlib.compressobj(9, zlib.DEFLATED, -15)
    open(sys.argv[1] + "/" + out, "wb").write(c.compress(b"".join(entry(n, b"1") for n in names)) + c.flush())
]] ${WORK} RESULT_VARIABLE made)
expect_equal("${made}" "0" "making payloads of odd names")
expect_refused("prepare of a name Windows cannot create"
  "odd.bin: bad name what?.txt (holds ?, which Windows does not allow in a file name)"
  prepare ${WORK}/odd.bin ${WORK}/refused.section)
expect_refused("prepare of a clash"
  "clash.bin: bad name x.dll: it is written first as x.new, which is a directory of x.new/a"
  prepare ${WORK}/clash.bin ${WORK}/refused.section)
run_packer(prepare ${WORK}/twice.bin ${WORK}/twice.section)
expect_equal("${code}" "0" "prepare of a name given twice: ${err}")
# Unchecked, both are made ready as they are; junk has no index.
run_packer(prepare ${WORK}/refused-names.bin ${WORK}/refused.section --no-check)
expect_equal("${code}" "0" "prepare --no-check: ${err}")
run_packer(prepare ${WORK}/junk.bin ${WORK}/junk.section --no-check)
expect_equal("${code}" "0" "prepare --no-check of junk: ${err}")
file(SIZE ${WORK}/junk.section junk_section_size)
file(SIZE ${WORK}/junk.bin junk_size)
math(EXPR junk_size "${junk_size} + 8")
expect_equal("${junk_section_size}" "${junk_size}" "the section of junk (no index)")

# A file that is no payload is told so, not shown as the decoder's dump.
expect_refused("junk payload" "junk.bin: not a payload or an installer (its data does not inflate)"
  list ${WORK}/junk.bin)
run_packer(diff ${WORK}/payload.bin ${WORK}/manifest.txt)
expect_equal("${code}:${err}"
  "2:pelko-pack: ${WORK}/manifest.txt: not a payload or an installer (its data does not inflate)\n"
  "diff with a manifest")
file(READ ${WORK}/payload2.bin whole HEX)
string(LENGTH "${whole}" hex_length)
math(EXPR half "${hex_length} / 4 * 2")
string(SUBSTRING "${whole}" 0 ${half} first_half)
execute_process(COMMAND ${PYTHON} -c "import sys; open(sys.argv[1], 'wb').write(bytes.fromhex(sys.argv[2]))"
                ${WORK}/truncated.bin ${first_half})
expect_refused("truncated payload"
  "truncated.bin: not a payload or an installer (its data ends before its stream does: cut short?)"
  list ${WORK}/truncated.bin)
expect_refused("missing payload" "nothing.bin: no such file" list ${WORK}/nothing.bin)
file(WRITE ${WORK}/fake.exe "MZ but nothing else")
expect_refused("exe without payload" "not a Windows executable" list ${WORK}/fake.exe)
if(NOT PACKER MATCHES "wine-run")
  # An unreadable source is found before anything is compressed (as root, the packer runs as
  # nobody, for whom the file is unreadable), the line named.
  file(WRITE ${WORK}/src/secret.bin "secret")
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
