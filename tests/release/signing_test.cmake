# Signing: a build given a PKCS#12 file and, at build time, its password signs pelko-setup.exe
# without writing the password into any file of the build; the signature verifies against the
# (throwaway, self-signed) certificate, and the signed executable still installs its payload
# under Wine, every file with the right bytes.
# Run as: cmake -DSOURCE=... -DWORK=... -DPAYLOAD=... -DTOOLCHAIN=... -DPACKER=...
#               -DWINE_RUN=... -DLAUNCHER=... -P signing_test.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

include(${CMAKE_CURRENT_LIST_DIR}/release_steps.cmake)

# A throwaway code-signing certificate.
run("openssl req" openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Pelko test signer"
    -addext "extendedKeyUsage=codeSigning" -keyout ${WORK}/key.pem -out ${WORK}/cert.pem)
run("openssl pkcs12" openssl pkcs12 -export -inkey ${WORK}/key.pem -in ${WORK}/cert.pem
    -out ${WORK}/signer.p12 -passout pass:pelko-test)

set(build ${WORK}/build)
# The password is not taken as a build setting, and does not stay in the cache when given as one.
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${build} -G Ninja --toolchain ${TOOLCHAIN}
                        -DPELKO_SIGN_PASSWORD=pelko-test
                OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE code)
if(code EQUAL 0 OR NOT out MATCHES "PELKO_SIGN_PASSWORD is not read from the build's settings")
  message(FATAL_ERROR "a password given as a build setting was taken (${code}):\n${out}")
endif()
# It is read from the environment at build time.
run("configure" ${CMAKE_COMMAND} -S ${SOURCE} -B ${build} -G Ninja --toolchain ${TOOLCHAIN}
    -DCMAKE_BUILD_TYPE=Release -DPELKO_PAYLOAD=${PAYLOAD} -DPELKO_PACKER=${PACKER}
    -DPELKO_SIGN_PKCS12=${WORK}/signer.p12)
set(ENV{PELKO_SIGN_PASSWORD} pelko-test)
run("build" ${CMAKE_COMMAND} --build ${build} --target pelko-setup -j 2)
unset(ENV{PELKO_SIGN_PASSWORD})
set(exe ${build}/pelko-setup.exe)
execute_process(COMMAND grep -r -l -a pelko-test ${build} OUTPUT_VARIABLE holders)
if(holders)
  message(FATAL_ERROR "the password is written in the build's files:\n${holders}")
endif()

run("osslsigncode verify" osslsigncode verify -CAfile ${WORK}/cert.pem -in ${exe})
if(NOT out MATCHES "Signature verification: ok")
  message(FATAL_ERROR "the signature does not verify:\n${out}")
endif()

# The packer finds the payload in the signed file, and the installer installs it.
run("pelko-pack extract" ${PACKER} extract ${exe} ${WORK}/expected)
wine_path(${WORK}/local local)
wine_path(${exe} windows_exe)
run("the signed installer" ${WINE_RUN} ${LAUNCHER} --set "LOCALAPPDATA=${local}" --timeout 120
    ${windows_exe})
# The installer ended by starting the demo app through its guard. Nothing of this test may outlive
# it in the Wine session the next tests share (they look for running copies of the app): the
# guard goes first, so it cannot start the app again.
foreach(image pelko-guard.exe pelko.exe)
  execute_process(COMMAND ${WINE_RUN} taskkill /F /IM ${image} OUTPUT_QUIET ERROR_QUIET)
endforeach()
file(GLOB_RECURSE expected RELATIVE ${WORK}/expected ${WORK}/expected/*)
list(LENGTH expected count)
if(count EQUAL 0)
  message(FATAL_ERROR "no files in the payload")
endif()
foreach(name ${expected})
  set(installed ${WORK}/local/Programs/Pelko/${name})
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/expected/${name} ${installed}
                  RESULT_VARIABLE differs)
  if(NOT differs EQUAL 0)
    message(FATAL_ERROR "${name}: installed with other bytes than the payload holds (or missing)")
  endif()
endforeach()
file(SIZE ${exe} size)
message(STATUS "signed pelko-setup.exe (${size} bytes) verifies and installs its ${count} files")
file(REMOVE_RECURSE ${WORK})
