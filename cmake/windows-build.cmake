# Settings shared by every Windows target: static runtime, small code.
add_compile_options(-Os -ffunction-sections -fdata-sections)
# No build paths in what is built: the same sources give the same bytes wherever they lie.
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=.)
add_link_options(-static -static-libgcc -static-libstdc++)
# Link-time optimisation in one partition, for every program that links the core (the installer,
# the tests, the probes): the smallest code, and GCC 12's cross-partition inlining ends in an
# internal compiler error (binds_to_current_def_p) with some layouts of the core.
add_link_options(-flto-partition=one)

# The shipped executable: unused sections dropped, stripped, no time stamp; -Os at the link too,
# where the link-time optimiser makes the code.
function(pelko_make_small target)
  target_link_options(${target} PRIVATE -Os -Wl,--gc-sections -s -Wl,--no-insert-timestamp)
endfunction()

# Windows programs run under Wine with a private prefix in the build directory.
set(PELKO_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix CACHE PATH "Wine prefix for the tests")
configure_file(${PROJECT_SOURCE_DIR}/cmake/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh @ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
