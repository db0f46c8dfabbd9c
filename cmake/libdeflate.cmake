# libdeflate's decompressor, which inflates the payload's pieces about twice as fast as zlib.
# Native builds link Debian's libdeflate-dev; the MinGW build compiles the same release, 1.14,
# from Debian's own source of it (the orig tarball of the package libdeflate 1.14-1, checked
# against the SHA-256 of its signed .dsc), since Debian packages no MinGW build of it. Defines
# the target pelko_libdeflate.
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
set(libdeflate_url
  http://deb.debian.org/debian/pool/main/libd/libdeflate/libdeflate_${libdeflate_version}.orig.tar.gz)
set(libdeflate_archive ${CMAKE_BINARY_DIR}/_deps/libdeflate_${libdeflate_version}.orig.tar.gz)
set(libdeflate_dir ${CMAKE_BINARY_DIR}/_deps/libdeflate-${libdeflate_version})
if(NOT EXISTS ${libdeflate_dir}/lib/deflate_decompress.c)
  file(DOWNLOAD ${libdeflate_url} ${libdeflate_archive}
       EXPECTED_HASH SHA256=${libdeflate_sha256} STATUS status TLS_VERIFY ON)
  list(GET status 0 code)
  if(NOT code EQUAL 0)
    list(GET status 1 why)
    message(FATAL_ERROR
      "cannot fetch libdeflate ${libdeflate_version} from ${libdeflate_url}: ${why}")
  endif()
  file(ARCHIVE_EXTRACT INPUT ${libdeflate_archive} DESTINATION ${CMAKE_BINARY_DIR}/_deps)
endif()
add_library(pelko_libdeflate STATIC
  ${libdeflate_dir}/lib/deflate_decompress.c
  ${libdeflate_dir}/lib/utils.c
  ${libdeflate_dir}/lib/x86/cpu_features.c)
target_include_directories(pelko_libdeflate SYSTEM PUBLIC ${libdeflate_dir})
target_compile_options(pelko_libdeflate PRIVATE -Os -w)
