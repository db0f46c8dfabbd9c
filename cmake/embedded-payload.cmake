# The payload of pelko-setup.exe: PELKO_PAYLOAD when set, else the demo app packed from
# payload/manifest.txt by a host build of pelko-pack. Sets PELKO_PAYLOAD_FILE and
# PELKO_PAYLOAD_ASM (the assembly file that places it in the read-only section ".payload").
include(ExternalProject)

if(PELKO_PAYLOAD)
  get_filename_component(PELKO_PAYLOAD_FILE "${PELKO_PAYLOAD}" ABSOLUTE)
  if(NOT EXISTS "${PELKO_PAYLOAD_FILE}")
    message(FATAL_ERROR "PELKO_PAYLOAD: no such file: ${PELKO_PAYLOAD_FILE}")
  endif()
  add_custom_target(pelko_payload)
else()
  # The packer runs on the build machine: a separate native build of tools/, without the
  # cross toolchain.
  set(host_dir ${CMAKE_BINARY_DIR}/host-tools)
  set(host_packer ${host_dir}/pelko-pack)
  ExternalProject_Add(pelko_host_tools
    SOURCE_DIR ${PROJECT_SOURCE_DIR}/tools
    BINARY_DIR ${host_dir}
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release
    BUILD_COMMAND ${CMAKE_COMMAND} --build ${host_dir} --target pelko-pack
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${host_packer})

  set(demo_dir ${CMAKE_BINARY_DIR}/payload)
  set(PELKO_PAYLOAD_FILE ${demo_dir}/payload.bin)
  add_custom_command(OUTPUT ${PELKO_PAYLOAD_FILE}
    COMMAND ${host_packer} pack ${PROJECT_SOURCE_DIR}/payload/manifest.txt ${PELKO_PAYLOAD_FILE}
            --from ${demo_dir} --from ${PROJECT_SOURCE_DIR}/payload
    DEPENDS ${host_packer} pelko_host_tools ${PELKO_DEMO_TARGETS}
            ${PROJECT_SOURCE_DIR}/payload/manifest.txt
            ${PROJECT_SOURCE_DIR}/payload/driver/license.txt
    COMMENT "Packing the demo payload"
    VERBATIM)
  add_custom_target(pelko_payload DEPENDS ${PELKO_PAYLOAD_FILE})
endif()

string(REPLACE "\\" "\\\\" payload_for_asm "${PELKO_PAYLOAD_FILE}")
string(REPLACE "\"" "\\\"" payload_for_asm "${payload_for_asm}")
set(PELKO_PAYLOAD_ASM ${CMAKE_CURRENT_BINARY_DIR}/embedded_payload_data.S)
file(CONFIGURE OUTPUT ${PELKO_PAYLOAD_ASM} CONTENT [[
/* Generated: the payload as one read-only byte range in its own section. */
    .section .payload,"dr"
    .globl pelko_payload_begin
    .globl pelko_payload_end
pelko_payload_begin:
    .incbin "@payload_for_asm@"
pelko_payload_end:
]] @ONLY)
set_source_files_properties(${PELKO_PAYLOAD_ASM} PROPERTIES OBJECT_DEPENDS ${PELKO_PAYLOAD_FILE})
