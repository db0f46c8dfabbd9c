# The one command of a release, `cmake --workflow --preset release`, in a copy of the sources:
# with the payload, the version and a (throwaway, self-signed) code-signing certificate given in
# the environment, and the certificate's password there at build time, it leaves dist/ with the
# signed installer, its JSON listing (the payload's files) and its SHA-256. The password is
# refused as a build setting and is written into no file of the build; the signature verifies,
# and the signed installer installs every file of the payload exactly under Wine.
# Run as: cmake -DSOURCE=... -DWORK=... -DPAYLOAD=... -DPACKER=... -DWINE_RUN=... -DLAUNCHER=...
#               -P release_workflow_test.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

include(${CMAKE_CURRENT_LIST_DIR}/release_steps.cmake)

set(source ${WORK}/source)
foreach(part CMakeLists.txt CMakePresets.json benchmarks cmake payload resources scripts src tests
        tools)
  file(COPY ${SOURCE}/${part} DESTINATION ${source})
endforeach()

run("openssl req" openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Pelko test signer"
    -addext "extendedKeyUsage=codeSigning" -keyout ${WORK}/key.pem -out ${WORK}/cert.pem)
run("openssl pkcs12" openssl pkcs12 -export -inkey ${WORK}/key.pem -in ${WORK}/cert.pem
    -out ${WORK}/signer.p12 -passout pass:pelko-test)

# A release names its payload: without one, or with the setting misspelt, it does not configure.
set(ENV{PELKO_PACKER} ${PACKER})
set(ENV{PELKO_PAYLAOD} ${PAYLOAD})
foreach(expected "PELKO_PAYLAOD is set in the environment, but a release has no such setting"
                 "a release is built around a payload someone named: set PELKO_PAYLOAD")
  execute_process(COMMAND ${CMAKE_COMMAND} --preset release --fresh
                  WORKING_DIRECTORY ${source} OUTPUT_VARIABLE out ERROR_VARIABLE out
                  RESULT_VARIABLE code)
  string(REGEX REPLACE "[ \n]+" " " out "${out}")
  if(code EQUAL 0 OR NOT out MATCHES "${expected}")
    message(FATAL_ERROR "a release without a payload configured (${code}):\n${out}")
  endif()
  unset(ENV{PELKO_PAYLAOD})
endforeach()

set(ENV{PELKO_PAYLOAD} ${PAYLOAD})
set(ENV{PELKO_VERSION} 0.4.2)
set(ENV{PELKO_PACKER} ${PACKER})
set(ENV{PELKO_SIGN_PKCS12} ${WORK}/signer.p12)

# The password is not taken as a build setting, and does not stay in the cache when given as one.
execute_process(COMMAND ${CMAKE_COMMAND} --preset release -DPELKO_SIGN_PASSWORD=pelko-test
                WORKING_DIRECTORY ${source} OUTPUT_VARIABLE out ERROR_VARIABLE out
                RESULT_VARIABLE code)
if(code EQUAL 0 OR NOT out MATCHES "PELKO_SIGN_PASSWORD is not read from the build's settings")
  message(FATAL_ERROR "a password given as a build setting was taken (${code}):\n${out}")
endif()

set(ENV{PELKO_SIGN_PASSWORD} pelko-test)
execute_process(COMMAND ${CMAKE_COMMAND} --workflow --preset release --fresh
                WORKING_DIRECTORY ${source} OUTPUT_VARIABLE out ERROR_VARIABLE out
                RESULT_VARIABLE code)
unset(ENV{PELKO_SIGN_PASSWORD})
if(NOT code EQUAL 0)
  message(FATAL_ERROR "the release workflow failed (${code}):\n${out}")
endif()
set(build ${source}/build/release)
execute_process(COMMAND grep -r -l -a pelko-test ${build} OUTPUT_VARIABLE holders)
if(holders)
  message(FATAL_ERROR "the password is written in the build's files:\n${holders}")
endif()

set(dist ${build}/dist)
set(exe ${dist}/pelko-setup.exe)
run("osslsigncode verify" osslsigncode verify -CAfile ${WORK}/cert.pem -in ${exe})
if(NOT out MATCHES "Signature verification: ok")
  message(FATAL_ERROR "the signature does not verify:\n${out}")
endif()
file(SHA256 ${exe} sha256)
file(READ ${exe}.sha256 recorded)
if(NOT recorded STREQUAL "${sha256}  pelko-setup.exe\n")
  message(FATAL_ERROR "the SHA-256 file reads [${recorded}], not that of the installer")
endif()
# The listing: an installer whose entries are the payload's, CRC-32 recorded and matching.
file(READ ${dist}/pelko-setup.json listing)
run("pelko-pack list --json of the payload" ${PACKER} list --json ${PAYLOAD})
string(JSON payload_entries GET "${out}" entries)
string(JSON exe_entries GET "${listing}" entries)
string(JSON kind GET "${listing}" kind)
string(JSON crc GET "${listing}" crc32)
string(JSON recorded_crc GET "${listing}" recorded_crc32)
string(JSON equal EQUAL "${payload_entries}" "${exe_entries}")
if(NOT kind STREQUAL "installer" OR NOT crc STREQUAL recorded_crc OR NOT equal)
  message(FATAL_ERROR "the release's listing is not the payload's:\n${listing}")
endif()

# The signed installer installs every file of the payload exactly.
run("pelko-pack extract" ${PACKER} extract ${exe} ${WORK}/expected)
wine_path(${WORK}/local local)
wine_path(${exe} windows_exe)
run("the signed installer" ${WINE_RUN} ${LAUNCHER} --set "LOCALAPPDATA=${local}" --timeout 120
    ${windows_exe})
# The installer ended by starting the demo app through its guard.
end_demo_app(${WORK}/local/Programs/Pelko)
file(READ ${WORK}/local/Pelko/logs/setup.log log)
if(NOT log MATCHES " setup v0\\.4\\.2, update: false\n")
  message(FATAL_ERROR "the release's version is not in its log:\n${log}")
endif()
file(GLOB_RECURSE expected RELATIVE ${WORK}/expected ${WORK}/expected/*)
list(LENGTH expected count)
if(count EQUAL 0)
  message(FATAL_ERROR "no files in the payload")
endif()
foreach(name ${expected})
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/expected/${name}
                          ${WORK}/local/Programs/Pelko/${name} RESULT_VARIABLE differs)
  if(NOT differs EQUAL 0)
    message(FATAL_ERROR "${name}: installed with other bytes than the payload holds (or missing)")
  endif()
endforeach()
file(SIZE ${exe} size)
message(STATUS "the release workflow made a signed pelko-setup.exe (${size} bytes) that verifies, "
               "lists the payload's files and installs its ${count} files")
file(REMOVE_RECURSE ${WORK})
