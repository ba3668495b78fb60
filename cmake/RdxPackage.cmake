# What `cmake --install` adds beside the libraries and programs: the CMake
# package, the default quarry.ini and home directory, the documentation and
# the manual pages; and the Debian package that CPack makes of all of it.
include(CMakePackageConfigHelpers)

set(RDX_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/rdx)
install(EXPORT rdxTargets NAMESPACE rdx:: DESTINATION ${RDX_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/rdxConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/rdxConfig.cmake
                              INSTALL_DESTINATION ${RDX_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/rdxConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/rdxConfig.cmake ${PROJECT_BINARY_DIR}/rdxConfigVersion.cmake
        DESTINATION ${RDX_CMAKE_DIR})

# Default configuration and home directory: <sysconfdir>/rdx/quarry.ini names
# <localstatedir>/lib/rdx/ as the home directory, which holds the connectors
# (NAME.rdx) and programs installed there, with a link to the configuration
# file so that they find it beside themselves. With the prefix /usr these
# are /etc/rdx and /var/lib/rdx.
set(RDX_CONFIG_DIR ${CMAKE_INSTALL_FULL_SYSCONFDIR}/rdx)
set(RDX_HOME_DIR ${CMAKE_INSTALL_FULL_LOCALSTATEDIR}/lib/rdx/)
configure_file(${PROJECT_SOURCE_DIR}/packaging/quarry.ini.in ${PROJECT_BINARY_DIR}/quarry.ini @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/quarry.ini DESTINATION ${RDX_CONFIG_DIR})
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/home)
file(CREATE_LINK ${RDX_CONFIG_DIR}/quarry.ini ${PROJECT_BINARY_DIR}/home/quarry.ini SYMBOLIC)
install(DIRECTORY ${PROJECT_BINARY_DIR}/home/ DESTINATION ${RDX_HOME_DIR})

# Documentation.
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/db2verify.md
              ${PROJECT_SOURCE_DIR}/docs/port.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
add_subdirectory(${PROJECT_SOURCE_DIR}/docs/man ${PROJECT_BINARY_DIR}/docs/man)
# Debian's copyright file and the package's changelog, compressed as Debian
# keeps it (gzip -9n: no name, no time stamp, so the same bytes every build).
find_program(GZIP gzip REQUIRED)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${PROJECT_BINARY_DIR}/changelog @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/changelog.gz
  COMMAND ${GZIP} -9nc changelog > changelog.gz
  DEPENDS ${PROJECT_BINARY_DIR}/changelog
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR} VERBATIM)
add_custom_target(rdx_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${PROJECT_BINARY_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The Debian package: `cpack -G DEB` in a build configured with the prefix /usr.
set(CPACK_PACKAGE_NAME rdx)
set(CPACK_PACKAGE_VENDOR "rdx developers")
set(CPACK_PACKAGE_CONTACT "rdx developers <rdx@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "data-transfer engine: client libraries and tools")
set(CPACK_PACKAGE_DESCRIPTION
    "The client side of the data-transfer engine: the platform library librdplat,\n"
    "the programming interface librdxapi and the message catalogue librdres with\n"
    "their headers, CMake package and pkg-config files; the server manager rdcsm\n"
    "(with a systemd user unit, not enabled), the activity runner rdrun, the\n"
    "one-command copier rdx, the\n"
    "connectivity checker db2verify, and the connectors rdcsv (delimited text\n"
    "files), rdsqlite (SQLite databases) and rdcopy (copies records between two\n"
    "links).")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_INSTALL_FULL_LIBDIR})
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# The configuration in /etc is the administrator's: kept on upgrade. The
# ldconfig trigger updates the linker cache once per dpkg run.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/conffiles
                                      ${PROJECT_SOURCE_DIR}/packaging/triggers)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
