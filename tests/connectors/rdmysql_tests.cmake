# SPDX-License-Identifier: Apache-2.0
# The MariaDB connector against a server the tests start themselves
# (tests/support/maria_server.cpp); skipped with a message where no
# mariadbd is installed. Its own program, its tests prefixed mysql.
find_package(PkgConfig REQUIRED)
pkg_check_modules(RDTEST_MARIADB REQUIRED IMPORTED_TARGET libmariadb)
add_library(rdtestmaria STATIC support/maria_server.cpp)
target_include_directories(rdtestmaria PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/support)
target_link_libraries(rdtestmaria PUBLIC GTest::gtest PkgConfig::RDTEST_MARIADB)
file(GLOB rdmysql_test_sources CONFIGURE_DEPENDS
     ${CMAKE_CURRENT_SOURCE_DIR}/connectors/mysql_*.cpp)
# The copies run by rdrun use the rdrun tests' home (rdrun/run_test_env.cpp).
add_executable(mysql_tests ${rdmysql_test_sources} rdrun/run_test_env.cpp)
target_link_libraries(mysql_tests PRIVATE rdtestsupport rdtestmaria rdtestpg rdxapi
                                          rdxconnectorkit SQLite::SQLite3 GTest::gtest
                                          GTest::gmock GTest::gtest_main)
add_dependencies(mysql_tests rdmysql rdjson rdcsv rdsqlite rdpg rdcopy rdrun rdcsm rdliar
                 rdteller)
target_compile_definitions(mysql_tests PRIVATE
  RDTEST_RDMYSQL_PATH="$<TARGET_FILE:rdmysql>" RDTEST_RDCSV_PATH="$<TARGET_FILE:rdcsv>"
  RDTEST_RDJSON_PATH="$<TARGET_FILE:rdjson>"
  RDTEST_RDRUN="$<TARGET_FILE:rdrun>" RDTEST_RDCSM="$<TARGET_FILE:rdcsm>"
  RDTEST_RDCSV="$<TARGET_FILE:rdcsv>" RDTEST_RDSQLITE="$<TARGET_FILE:rdsqlite>"
  RDTEST_RDPG="$<TARGET_FILE:rdpg>" RDTEST_RDCOPY="$<TARGET_FILE:rdcopy>"
  RDTEST_RDLIAR="$<TARGET_FILE:rdliar>" RDTEST_RDTELLER="$<TARGET_FILE:rdteller>"
  RDTEST_MAKE_ORDERS="${PROJECT_SOURCE_DIR}/examples/orders/make-orders")
gtest_discover_tests(mysql_tests TEST_PREFIX "mysql." DISCOVERY_TIMEOUT 60
                     PROPERTIES TIMEOUT 300 LABELS mysql)
