# SPDX-License-Identifier: Apache-2.0
# What `cmake --install` adds beside the libraries and programs: the CMake
# package, the default quarry.ini and home directory, the documentation, the
# manual pages and the systemd units. Every rule names a folder relative to
# the prefix (or the absolute /etc and /var the package build configures)
# and an install component, from which scripts/package makes the packages:
#   lib      the shared libraries (librdx0)
#   dev      headers, unversioned links, CMake package, pkg-config, examples
#            (librdx-dev)
#   rdx      programs, configuration, units, manual pages, documents (rdx)
#   <NAME>   each connector module NAME.rdx with its link in the home
include(CMakePackageConfigHelpers)

set(RDX_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/rdx)
install(EXPORT rdxTargets NAMESPACE rdx:: DESTINATION ${RDX_CMAKE_DIR} COMPONENT dev)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/rdxConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/rdxConfig.cmake
                              INSTALL_DESTINATION ${RDX_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/rdxConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/rdxConfig.cmake ${PROJECT_BINARY_DIR}/rdxConfigVersion.cmake
        DESTINATION ${RDX_CMAKE_DIR} COMPONENT dev)
install(FILES ${PROJECT_SOURCE_DIR}/examples/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples
        COMPONENT dev)
foreach(example activity connector fieldlist)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/${example}
          DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples COMPONENT dev)
endforeach()

# Default configuration and home directory: <sysconfdir>/rdx/quarry.ini names
# <localstatedir>/lib/rdx/ as the home directory, which holds links to the
# connectors (NAME.rdx), to rdcsm and to the configuration file, so that they
# find it beside themselves. The package build makes these /etc/rdx and
# /var/lib/rdx; another prefix keeps them below itself.
set(RDX_CONFIG_DIR ${RDX_INSTALL_ABS_SYSCONFDIR}/rdx)
set(RDX_HOME_DIR ${RDX_INSTALL_ABS_LOCALSTATEDIR}/lib/rdx/)
configure_file(${PROJECT_SOURCE_DIR}/packaging/quarry.ini.in ${PROJECT_BINARY_DIR}/quarry.ini @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/quarry.ini DESTINATION ${CMAKE_INSTALL_SYSCONFDIR}/rdx)
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/home-links)
file(CREATE_LINK ${RDX_CONFIG_DIR}/quarry.ini ${PROJECT_BINARY_DIR}/home-links/quarry.ini SYMBOLIC)
install(FILES ${PROJECT_BINARY_DIR}/home-links/quarry.ini
        DESTINATION ${CMAKE_INSTALL_LOCALSTATEDIR}/lib/rdx)

# Documentation.
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/db2verify.md
              ${PROJECT_SOURCE_DIR}/docs/port.md ${PROJECT_SOURCE_DIR}/docs/packaging.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
add_subdirectory(${PROJECT_SOURCE_DIR}/docs/man ${PROJECT_BINARY_DIR}/docs/man)
# Debian's copyright file and the package's changelog, compressed as Debian
# keeps it (gzip -9n: no name, no time stamp, so the same bytes every build).
# scripts/package puts both into the documents of every package.
find_program(GZIP gzip REQUIRED)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${PROJECT_BINARY_DIR}/changelog @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/changelog.gz
  COMMAND ${GZIP} -9nc changelog > changelog.gz
  DEPENDS ${PROJECT_BINARY_DIR}/changelog
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR} VERBATIM)
add_custom_target(rdx_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${PROJECT_BINARY_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

