# The payload of pelko-setup.exe: PELKO_PAYLOAD when set, else the files of PELKO_MANIFEST, else
# the demo app (payload/manifest.txt), packed by a host pelko-pack; a release (PELKO_RELEASE, the
# release preset) must name its payload, and takes the demo only as PELKO_PAYLOAD=demo. Sets
# PELKO_HOST_PACKER, PELKO_PAYLOAD_FILE (the stored stream) and PELKO_PAYLOAD_ASM (the assembly
# file that places the payload section the packer writes, src/payload/unpack/payload_section.h,
# in the read-only section ".payload").
# The packer runs on the build machine: PELKO_PACKER when given (a pelko-pack built before, for
# one), else a separate native build of tools/, without the cross toolchain.
set(PELKO_PACKER "" CACHE FILEPATH "A host pelko-pack to use instead of building one")
set(PELKO_MANIFEST "" CACHE FILEPATH
  "A manifest whose files to pack and embed (their sources found beside it), instead of the demo's")
option(PELKO_RELEASE "A release: the payload must be named (PELKO_PAYLOAD, PELKO_MANIFEST)" OFF)

if(PELKO_RELEASE)
  # A setting misspelt in a pipeline's environment would otherwise go unseen, and with it the
  # payload or the version someone meant.
  set(release_settings PELKO_PAYLOAD PELKO_MANIFEST PELKO_VERSION PELKO_SIGN_PKCS12
      PELKO_SIGN_PASSWORD PELKO_SIGN_PASSWORD_FILE PELKO_SIGN_TIMESTAMP_URL PELKO_PACKER
      PELKO_DEPS_DIR)
  execute_process(COMMAND ${CMAKE_COMMAND} -E environment OUTPUT_VARIABLE environment)
  string(REGEX MATCHALL "(^|\n)PELKO_[A-Za-z0-9_]*=" given "${environment}")
  foreach(setting ${given})
    string(REGEX REPLACE "[\n=]" "" setting "${setting}")
    if(NOT setting IN_LIST release_settings)
      string(REPLACE ";" ", " known "${release_settings}")
      message(FATAL_ERROR "${setting} is set in the environment, but a release has no such "
              "setting (misspelt?). A release reads: ${known}")
    endif()
  endforeach()
  if(PELKO_PAYLOAD STREQUAL "" AND PELKO_MANIFEST STREQUAL "")
    message(FATAL_ERROR "a release is built around a payload someone named: set PELKO_PAYLOAD "
            "to the payload made with pelko-pack pack, or PELKO_MANIFEST to a manifest of the "
            "files (PELKO_PAYLOAD=demo builds around the demo app)")
  endif()
endif()
if(PELKO_PAYLOAD STREQUAL "demo")
  set(PELKO_PAYLOAD "")
endif()
if(PELKO_PAYLOAD AND PELKO_MANIFEST)
  message(FATAL_ERROR "give PELKO_PAYLOAD or PELKO_MANIFEST, not both")
endif()
if(PELKO_PACKER)
  set(host_packer ${PELKO_PACKER})
  get_filename_component(host_dir ${PELKO_PACKER} DIRECTORY)
  add_custom_target(pelko_host_tools)
else()
  include(ExternalProject)
  set(host_dir ${CMAKE_BINARY_DIR}/host-tools)
  set(host_packer ${host_dir}/pelko-pack)
  ExternalProject_Add(pelko_host_tools
    SOURCE_DIR ${PROJECT_SOURCE_DIR}/tools
    BINARY_DIR ${host_dir}
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DPELKO_VERSION=${PELKO_VERSION}
    BUILD_COMMAND ${CMAKE_COMMAND} --build ${host_dir} --target pelko-pack make-test-payload
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${host_packer} ${host_dir}/make-test-payload)
endif()
set(PELKO_HOST_PACKER ${host_packer})
# The release tests' payload maker, built beside the host packer (tools/test_payload).
set(PELKO_HOST_TEST_PAYLOAD ${host_dir}/make-test-payload)

# The build places the payload section (payload/unpack/payload_section.h) that the host packer
# writes: one run of it packs the demo (or PELKO_MANIFEST) and writes its section; a payload packed
# elsewhere (PELKO_PAYLOAD) is first read the way the installer will read it
# (PELKO_PAYLOAD_CHECK), so that one the installer would refuse does not build.
set(PELKO_PAYLOAD_SECTION_FILE ${CMAKE_CURRENT_BINARY_DIR}/payload.section)
if(PELKO_PAYLOAD)
  get_filename_component(PELKO_PAYLOAD_FILE "${PELKO_PAYLOAD}" ABSOLUTE BASE_DIR ${PROJECT_SOURCE_DIR})
  if(NOT EXISTS "${PELKO_PAYLOAD_FILE}")
    message(FATAL_ERROR "PELKO_PAYLOAD: no such file: ${PELKO_PAYLOAD_FILE}")
  endif()
  set(check_arg)
  if(NOT PELKO_PAYLOAD_CHECK)
    set(check_arg --no-check)
  endif()
  add_custom_command(OUTPUT ${PELKO_PAYLOAD_SECTION_FILE}
    COMMAND ${host_packer} prepare ${PELKO_PAYLOAD_FILE} ${PELKO_PAYLOAD_SECTION_FILE} ${check_arg}
    DEPENDS ${host_packer} pelko_host_tools ${PELKO_PAYLOAD_FILE}
    COMMENT "Checking the payload and writing its section (CRC-32, stream, index)"
    VERBATIM)
else()
  set(demo_dir ${CMAKE_BINARY_DIR}/payload)
  set(PELKO_PAYLOAD_FILE ${demo_dir}/payload.bin)
  if(PELKO_MANIFEST)
    get_filename_component(manifest "${PELKO_MANIFEST}" ABSOLUTE BASE_DIR ${PROJECT_SOURCE_DIR})
    if(NOT EXISTS "${manifest}")
      message(FATAL_ERROR "PELKO_MANIFEST: no such file: ${manifest}")
    endif()
    # Packed again when the manifest or a file it names changes (the packer finds the files
    # beside the manifest, and reports any that are not there).
    get_filename_component(manifest_dir "${manifest}" DIRECTORY)
    file(STRINGS "${manifest}" manifest_lines)
    set(inputs ${manifest})
    foreach(line ${manifest_lines})
      string(REGEX REPLACE "^[^\t]*\t" "" source "${line}")
      string(REGEX REPLACE "\r$" "" source "${source}")
      get_filename_component(source "${source}" ABSOLUTE BASE_DIR "${manifest_dir}")
      if(EXISTS "${source}" AND NOT IS_DIRECTORY "${source}")
        list(APPEND inputs "${source}")
      endif()
    endforeach()
    set(from)
    set(what "the payload of ${manifest}")
  else()
    set(manifest ${PROJECT_SOURCE_DIR}/payload/manifest.txt)
    set(inputs ${PELKO_DEMO_TARGETS} ${manifest} ${PROJECT_SOURCE_DIR}/payload/driver/license.txt)
    set(from --from ${demo_dir} --from ${PROJECT_SOURCE_DIR}/payload)
    set(what "the demo payload")
  endif()
  add_custom_command(OUTPUT ${PELKO_PAYLOAD_FILE} ${PELKO_PAYLOAD_SECTION_FILE}
    COMMAND ${host_packer} pack ${manifest} ${PELKO_PAYLOAD_FILE} ${from}
            --section ${PELKO_PAYLOAD_SECTION_FILE}
    DEPENDS ${host_packer} pelko_host_tools ${inputs}
    COMMENT "Packing ${what} and writing its section (CRC-32, stream, index)"
    VERBATIM)
endif()
add_custom_target(pelko_payload DEPENDS ${PELKO_PAYLOAD_FILE} ${PELKO_PAYLOAD_SECTION_FILE})

function(pelko_asm_string out path)
  string(REPLACE "\\" "\\\\" escaped "${path}")
  string(REPLACE "\"" "\\\"" escaped "${escaped}")
  set(${out} "${escaped}" PARENT_SCOPE)
endfunction()
pelko_asm_string(section_for_asm "${PELKO_PAYLOAD_SECTION_FILE}")
set(PELKO_PAYLOAD_ASM ${CMAKE_CURRENT_BINARY_DIR}/embedded_payload_data.S)
file(CONFIGURE OUTPUT ${PELKO_PAYLOAD_ASM} CONTENT [[
/* Generated: the payload section as the packer wrote it, placed whole in its own read-only
   section. */
    .section .payload,"dr"
    .globl pelko_payload_section
    .globl pelko_payload_section_end
pelko_payload_section:
    .incbin "@section_for_asm@"
pelko_payload_section_end:
]] @ONLY)
set_source_files_properties(${PELKO_PAYLOAD_ASM} PROPERTIES
  OBJECT_DEPENDS "${PELKO_PAYLOAD_SECTION_FILE}")
