# The payload of pelko-setup.exe: PELKO_PAYLOAD when set, else the demo app packed from
# payload/manifest.txt by a host pelko-pack. Sets PELKO_HOST_PACKER, PELKO_PAYLOAD_FILE and
# PELKO_PAYLOAD_ASM (the assembly file that places it in the read-only section ".payload",
# preceded by its CRC-32, which the host pelko-pack computes, and its length: two 32-bit
# little-endian words, so that tools find the exact range in the section, which the linker may
# pad; and followed by the index of its stream, also from pelko-pack, which tells where the stream
# can be inflated in pieces at the same time).
# The packer runs on the build machine: PELKO_PACKER when given (a pelko-pack built before, for
# one), else a separate native build of tools/, without the cross toolchain.
set(PELKO_PACKER "" CACHE FILEPATH "A host pelko-pack to use instead of building one")
if(PELKO_PACKER)
  set(host_packer ${PELKO_PACKER})
  add_custom_target(pelko_host_tools)
else()
  include(ExternalProject)
  set(host_dir ${CMAKE_BINARY_DIR}/host-tools)
  set(host_packer ${host_dir}/pelko-pack)
  ExternalProject_Add(pelko_host_tools
    SOURCE_DIR ${PROJECT_SOURCE_DIR}/tools
    BINARY_DIR ${host_dir}
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DPELKO_VERSION=${PELKO_VERSION}
    BUILD_COMMAND ${CMAKE_COMMAND} --build ${host_dir} --target pelko-pack
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${host_packer})
endif()
set(PELKO_HOST_PACKER ${host_packer})

# Beside the payload the build records its CRC-32 and its stream's index: one run of the host
# packer writes all three for the demo; a payload packed elsewhere (PELKO_PAYLOAD) is first read
# the way the installer will read it (PELKO_PAYLOAD_CHECK), so that one the installer would
# refuse does not build.
set(PELKO_PAYLOAD_CRC_FILE ${CMAKE_CURRENT_BINARY_DIR}/payload.crc32)
set(PELKO_PAYLOAD_INDEX_FILE ${CMAKE_CURRENT_BINARY_DIR}/payload.index)
if(PELKO_PAYLOAD)
  get_filename_component(PELKO_PAYLOAD_FILE "${PELKO_PAYLOAD}" ABSOLUTE BASE_DIR ${PROJECT_SOURCE_DIR})
  if(NOT EXISTS "${PELKO_PAYLOAD_FILE}")
    message(FATAL_ERROR "PELKO_PAYLOAD: no such file: ${PELKO_PAYLOAD_FILE}")
  endif()
  set(check_arg)
  if(NOT PELKO_PAYLOAD_CHECK)
    set(check_arg --no-check)
  endif()
  add_custom_command(OUTPUT ${PELKO_PAYLOAD_CRC_FILE} ${PELKO_PAYLOAD_INDEX_FILE}
    COMMAND ${host_packer} prepare ${PELKO_PAYLOAD_FILE} ${PELKO_PAYLOAD_CRC_FILE}
            ${PELKO_PAYLOAD_INDEX_FILE} ${check_arg}
    DEPENDS ${host_packer} pelko_host_tools ${PELKO_PAYLOAD_FILE}
    COMMENT "Checking the payload and recording its CRC-32 and its stream's index"
    VERBATIM)
else()
  set(demo_dir ${CMAKE_BINARY_DIR}/payload)
  set(PELKO_PAYLOAD_FILE ${demo_dir}/payload.bin)
  add_custom_command(OUTPUT ${PELKO_PAYLOAD_FILE} ${PELKO_PAYLOAD_CRC_FILE} ${PELKO_PAYLOAD_INDEX_FILE}
    COMMAND ${host_packer} pack ${PROJECT_SOURCE_DIR}/payload/manifest.txt ${PELKO_PAYLOAD_FILE}
            --from ${demo_dir} --from ${PROJECT_SOURCE_DIR}/payload
            --crc32 ${PELKO_PAYLOAD_CRC_FILE} --index ${PELKO_PAYLOAD_INDEX_FILE}
    DEPENDS ${host_packer} pelko_host_tools ${PELKO_DEMO_TARGETS}
            ${PROJECT_SOURCE_DIR}/payload/manifest.txt
            ${PROJECT_SOURCE_DIR}/payload/driver/license.txt
    COMMENT "Packing the demo payload, with its CRC-32 and its stream's index"
    VERBATIM)
endif()
add_custom_target(pelko_payload
  DEPENDS ${PELKO_PAYLOAD_FILE} ${PELKO_PAYLOAD_CRC_FILE} ${PELKO_PAYLOAD_INDEX_FILE})

function(pelko_asm_string out path)
  string(REPLACE "\\" "\\\\" escaped "${path}")
  string(REPLACE "\"" "\\\"" escaped "${escaped}")
  set(${out} "${escaped}" PARENT_SCOPE)
endfunction()
pelko_asm_string(payload_for_asm "${PELKO_PAYLOAD_FILE}")
pelko_asm_string(crc_for_asm "${PELKO_PAYLOAD_CRC_FILE}")
pelko_asm_string(index_for_asm "${PELKO_PAYLOAD_INDEX_FILE}")
set(PELKO_PAYLOAD_ASM ${CMAKE_CURRENT_BINARY_DIR}/embedded_payload_data.S)
file(CONFIGURE OUTPUT ${PELKO_PAYLOAD_ASM} CONTENT [[
/* Generated: the payload as one read-only byte range in its own section, after its CRC-32 and
   its length, and before the index of its stream. */
    .section .payload,"dr"
    .globl pelko_payload_crc32
    .globl pelko_payload_begin
    .globl pelko_payload_end
    .globl pelko_payload_index_begin
    .globl pelko_payload_index_end
pelko_payload_crc32:
    .incbin "@crc_for_asm@"
    .long pelko_payload_end - pelko_payload_begin
pelko_payload_begin:
    .incbin "@payload_for_asm@"
pelko_payload_end:
pelko_payload_index_begin:
    .incbin "@index_for_asm@"
pelko_payload_index_end:
]] @ONLY)
set_source_files_properties(${PELKO_PAYLOAD_ASM} PROPERTIES
  OBJECT_DEPENDS "${PELKO_PAYLOAD_FILE};${PELKO_PAYLOAD_CRC_FILE};${PELKO_PAYLOAD_INDEX_FILE}")
