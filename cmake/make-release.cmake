# Leaves a release in OUT: the installer, its listing as JSON and its SHA-256, once the payload
# in the installer is checked to be the payload it was built around.
# Run as: cmake -DEXE=... -DPACKER=... -DPAYLOAD=... -DOUT=... -P make-release.cmake
execute_process(COMMAND ${PACKER} diff ${PAYLOAD} ${EXE}
                OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE differs)
if(NOT differs EQUAL 0)
  message(FATAL_ERROR "${EXE} does not carry the files of ${PAYLOAD}:\n${out}")
endif()

file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
get_filename_component(name ${EXE} NAME)
file(COPY ${EXE} DESTINATION ${OUT})
execute_process(COMMAND ${PACKER} list --json ${OUT}/${name} OUTPUT_FILE ${OUT}/pelko-setup.json
                ERROR_VARIABLE err RESULT_VARIABLE code)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "pelko-pack list --json ${name}: ${err}")
endif()
file(SHA256 ${OUT}/${name} sha256)
file(WRITE ${OUT}/${name}.sha256 "${sha256}  ${name}\n")
message(STATUS "release in ${OUT}: ${name} (sha256 ${sha256}), pelko-setup.json")
