# libdeflate's decompressor, which inflates the payload's pieces about twice as fast as zlib.
# Native builds link Debian's libdeflate-dev; the MinGW build compiles the same release, 1.14,
# from Debian's own source of it (the orig tarball of the source package libdeflate 1.14-1),
# since Debian packages no MinGW build of it. scripts/install-deps.sh fetches that tarball with
# apt-get source into the dependency cache, checked against the SHA-256 pinned here (its signed
# .dsc gives the same); a configure only unpacks it, and needs no network. Defines the target
# pelko_libdeflate.
if(TARGET pelko_libdeflate)
  return()
endif()
if(NOT WIN32)
  find_path(PELKO_LIBDEFLATE_INCLUDE libdeflate.h REQUIRED)
  find_library(PELKO_LIBDEFLATE_LIBRARY deflate REQUIRED)
  add_library(pelko_libdeflate INTERFACE)
  target_include_directories(pelko_libdeflate SYSTEM INTERFACE ${PELKO_LIBDEFLATE_INCLUDE})
  target_link_libraries(pelko_libdeflate INTERFACE ${PELKO_LIBDEFLATE_LIBRARY})
  return()
endif()

set(libdeflate_version 1.14)
set(libdeflate_sha256 89e7df898c37c3427b0f39aadcf733731321a278771d20fc553f92da8d4808ac)
# The dependency cache, where scripts/install-deps.sh keeps what it fetched: $PELKO_DEPS_DIR, else
# ${XDG_CACHE_HOME:-$HOME/.cache}/pelko-setup, as the script finds it.
if(DEFINED ENV{PELKO_DEPS_DIR} AND NOT "$ENV{PELKO_DEPS_DIR}" STREQUAL "")
  set(deps_default "$ENV{PELKO_DEPS_DIR}")
elseif(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
  set(deps_default "$ENV{XDG_CACHE_HOME}/pelko-setup")
else()
  set(deps_default "$ENV{HOME}/.cache/pelko-setup")
endif()
set(PELKO_DEPS_DIR "${deps_default}" CACHE PATH
  "The dependency cache scripts/install-deps.sh fills (libdeflate's source for the MinGW build)")
set(libdeflate_archive ${PELKO_DEPS_DIR}/libdeflate_${libdeflate_version}.orig.tar.gz)
set(libdeflate_dir ${CMAKE_BINARY_DIR}/_deps/libdeflate-${libdeflate_version})
if(NOT EXISTS ${libdeflate_dir}/lib/deflate_decompress.c)
  if(NOT EXISTS ${libdeflate_archive})
    message(FATAL_ERROR "libdeflate ${libdeflate_version}'s source, which the MinGW build compiles, "
      "is not in the dependency cache (${libdeflate_archive}): run scripts/install-deps.sh, "
      "which fetches Debian's source package libdeflate with apt-get source")
  endif()
  file(SHA256 ${libdeflate_archive} actual)
  if(NOT actual STREQUAL libdeflate_sha256)
    message(FATAL_ERROR "${libdeflate_archive} has the SHA-256 ${actual}, not the pinned "
      "${libdeflate_sha256}: remove it and run scripts/install-deps.sh")
  endif()
  file(ARCHIVE_EXTRACT INPUT ${libdeflate_archive} DESTINATION ${CMAKE_BINARY_DIR}/_deps)
endif()
add_library(pelko_libdeflate STATIC
  ${libdeflate_dir}/lib/deflate_decompress.c
  ${libdeflate_dir}/lib/utils.c
  ${libdeflate_dir}/lib/x86/cpu_features.c)
target_include_directories(pelko_libdeflate SYSTEM PUBLIC ${libdeflate_dir})
target_compile_options(pelko_libdeflate PRIVATE -Os -w)
