# The built installer on a volume too small for its payload: a tmpfs of 16 KiB mounted as the
# Programs folder. The run fails before anything changes: exit code 1, the log's last line names
# the install directory, the bytes needed and the bytes free, and the volume stays empty.
# Mounting needs root (as CI has); elsewhere the test says so and is skipped.
# Run as: cmake -DEXE=... -DWORK=... -DWINE_RUN=... -DLAUNCHER=... -P small_volume_test.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../release/release_steps.cmake)

set(programs ${WORK}/Local/Programs)
execute_process(COMMAND umount ${programs} OUTPUT_QUIET ERROR_QUIET)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${programs})
execute_process(COMMAND mount -t tmpfs -o size=16k pelko-small-volume ${programs}
                RESULT_VARIABLE mounted ERROR_VARIABLE why)
if(NOT mounted EQUAL 0)
  message(STATUS "skipped: a small volume cannot be mounted here (${why})")
  return()
endif()

wine_path(${WORK}/Local local)
wine_path(${EXE} exe)
execute_process(COMMAND ${WINE_RUN} ${LAUNCHER} --set "LOCALAPPDATA=${local}" --unset APPDATA
                        --timeout 120 --cmdline "\"${exe}\" --update" ${exe}
                RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE out)
file(GLOB left RELATIVE ${programs} ${programs}/*)
end_demo_app(${programs}/Pelko)  # had the run gone on, it would have started the app
execute_process(COMMAND umount ${programs})

if(NOT code EQUAL 1)
  message(FATAL_ERROR "the run ended with ${code}, not 1:\n${out}")
endif()
file(STRINGS ${WORK}/Local/Pelko/logs/setup.log lines)
list(GET lines -1 last)
string(REPLACE "\\" "\\\\" install_dir "${local}\\Programs\\Pelko")
if(NOT last MATCHES
   "^[0-9]+ pid [0-9]+ failed: ${install_dir}: not enough disk space \\(([0-9]+) bytes needed, ([0-9]+) bytes free\\)$")
  message(FATAL_ERROR "not the failure of a volume too small:\n${last}")
endif()
set(needed ${CMAKE_MATCH_1})
set(free ${CMAKE_MATCH_2})
if(NOT needed GREATER free OR free GREATER 16384)
  message(FATAL_ERROR "${needed} bytes needed and ${free} free on a volume of 1 MiB")
endif()
if(left)
  message(FATAL_ERROR "the run wrote on the volume: ${left}")
endif()
message(STATUS "refused before any change: ${needed} bytes needed, ${free} bytes free")
file(REMOVE_RECURSE ${WORK})
