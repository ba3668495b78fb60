# SPDX-License-Identifier: Apache-2.0
# rdx_public_library(NAME DESCRIPTION [REQUIRES pc-module...])
#
# Makes the shared library target NAME one of the installed libraries of the
# system: versioned file name (libNAME.so.<major> with symlinks), headers
# reached from include/rdx once installed, install rules in the rdxTargets
# export set (imported target rdx::NAME), a pkg-config file NAME.pc, and an
# entry in the list of libraries whose exported symbols scripts/symbols checks.
function(rdx_public_library name description)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "REQUIRES")
  set_target_properties(${name} PROPERTIES VERSION ${PROJECT_VERSION}
                                           SOVERSION ${PROJECT_VERSION_MAJOR}
                                           EXPORT_NAME ${name})
  target_include_directories(${name} INTERFACE
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/rdx>)
  # The versioned files are the run-time package's (component lib), the
  # unversioned link to build against the development package's (dev).
  install(TARGETS ${name} EXPORT rdxTargets
          LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT lib NAMELINK_COMPONENT dev)

  # pkg-config file, with the install directories as configured.
  list(JOIN arg_REQUIRES " " RDX_PC_REQUIRES)
  set(RDX_PC_NAME ${name})
  set(RDX_PC_DESCRIPTION "${description}")
  configure_file(${PROJECT_SOURCE_DIR}/cmake/library.pc.in
                 ${PROJECT_BINARY_DIR}/pkgconfig/${name}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/pkgconfig/${name}.pc
          DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)

  set_property(GLOBAL APPEND PROPERTY RDX_PUBLIC_LIBRARIES ${name})
endfunction()

# Writes <build>/public-libraries.txt: one "target path" line per public
# library, read by scripts/symbols. Called once, after every library is known.
function(rdx_write_public_library_list)
  get_property(libraries GLOBAL PROPERTY RDX_PUBLIC_LIBRARIES)
  set(lines "")
  foreach(name ${libraries})
    string(APPEND lines "${name} $<TARGET_FILE:${name}>\n")
  endforeach()
  file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/public-libraries.txt CONTENT "${lines}")
endfunction()
