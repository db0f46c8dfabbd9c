# pelko-pack list on the built installer: the CRC-32 recorded beside the payload matches the
# packed payload file's, and a copy with one payload byte altered is refused as damaged.
# Run as: cmake -DPACKER=... -DEXE=... -DPAYLOAD=... -DWORK=... -DPYTHON=... -P this file
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

execute_process(COMMAND ${PACKER} list ${PAYLOAD} OUTPUT_VARIABLE file_out RESULT_VARIABLE code)
string(REGEX MATCH "CRC-32 ([0-9a-f]+)\n" found "${file_out}")
if(NOT code EQUAL 0 OR NOT found)
  message(FATAL_ERROR "list of the payload file: ${file_out}")
endif()
set(crc "${CMAKE_MATCH_1}")

execute_process(COMMAND ${PACKER} list ${EXE} OUTPUT_VARIABLE exe_out RESULT_VARIABLE code)
string(FIND "${exe_out}" "CRC-32 ${crc} (recorded in the executable, matches)\n" at)
if(NOT code EQUAL 0 OR at EQUAL -1)
  message(FATAL_ERROR "list of the installer (payload file CRC-32 ${crc}): ${exe_out}")
endif()

# The stored payload lies in the installer as a copy of the payload file: flip a byte of it.
execute_process(COMMAND ${PYTHON} -c [[
import sys
exe, payload, out = sys.argv[1:4]
image = bytearray(open(exe, 'rb').read())
stored = open(payload, 'rb').read()
at = image.find(stored)
assert at > 0 and image.find(stored, at + 1) == -1
image[at + len(stored) // 2] ^= 0x40
open(out, 'wb').write(image)
]] ${EXE} ${PAYLOAD} ${WORK}/damaged.exe RESULT_VARIABLE code)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "could not make the damaged copy")
endif()
execute_process(COMMAND ${PACKER} list ${WORK}/damaged.exe
  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE code)
string(FIND "${err}" "damaged.exe: payload damaged (CRC-32 recorded ${crc})" at)
if(code EQUAL 0 OR at EQUAL -1)
  message(FATAL_ERROR "damaged copy listed: ${out}${err}")
endif()
message(STATUS "packer list of the installer: ok")
