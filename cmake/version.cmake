# The product version: the one number of a release, given at configure time
# (-DPELKO_VERSION=0.2.0). It is the version of the run's log lines and of the uninstall entry,
# the manifest's assembly version (0.2.0.0) and the version resource's strings and numbers.
set(PELKO_VERSION "0.1.1" CACHE STRING "The product version: MAJOR.MINOR.PATCH, each 0 to 65535")
if(PELKO_VERSION STREQUAL "")  # as a preset gives it from an unset environment variable
  set_property(CACHE PELKO_VERSION PROPERTY VALUE "0.1.1")
endif()
if(NOT PELKO_VERSION MATCHES "^(0|[1-9][0-9]*)\\.(0|[1-9][0-9]*)\\.(0|[1-9][0-9]*)$")
  message(FATAL_ERROR "PELKO_VERSION \"${PELKO_VERSION}\" is not MAJOR.MINOR.PATCH (say 0.2.0)")
endif()
set(PELKO_VERSION_MAJOR ${CMAKE_MATCH_1})
set(PELKO_VERSION_MINOR ${CMAKE_MATCH_2})
set(PELKO_VERSION_PATCH ${CMAKE_MATCH_3})
foreach(part ${PELKO_VERSION_MAJOR} ${PELKO_VERSION_MINOR} ${PELKO_VERSION_PATCH})
  if(part GREATER 65535)
    message(FATAL_ERROR "PELKO_VERSION ${PELKO_VERSION}: Windows takes each part up to 65535")
  endif()
endforeach()
