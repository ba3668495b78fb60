# SPDX-License-Identifier: Apache-2.0
# The JSON Lines connector's tests (connectors/json_*.cpp): a program of
# their own, named json.* and labelled json. The copies run by rdrun use the
# rdrun tests' home (rdrun/run_test_env.cpp).
if(TARGET rdjson)
  find_package(ZLIB REQUIRED)
  file(GLOB rdjson_test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/connectors/json_*.cpp)
  add_executable(json_tests ${rdjson_test_sources} rdrun/run_test_env.cpp)
  target_link_libraries(json_tests PRIVATE rdtestsupport GTest::gtest GTest::gmock
                        GTest::gtest_main rdxapi rdxconnectorkit SQLite::SQLite3 ZLIB::ZLIB)
  add_dependencies(json_tests rdjson rdcsv rdsqlite rdpg rdcopy rdrun rdcsm rdliar rdteller)
  target_compile_definitions(json_tests PRIVATE
    RDTEST_RDJSON_PATH="$<TARGET_FILE:rdjson>" RDTEST_RDCSV_PATH="$<TARGET_FILE:rdcsv>"
    RDTEST_RDRUN="$<TARGET_FILE:rdrun>" RDTEST_RDCSM="$<TARGET_FILE:rdcsm>"
    RDTEST_RDCSV="$<TARGET_FILE:rdcsv>" RDTEST_RDSQLITE="$<TARGET_FILE:rdsqlite>"
    RDTEST_RDPG="$<TARGET_FILE:rdpg>" RDTEST_RDCOPY="$<TARGET_FILE:rdcopy>"
    RDTEST_RDLIAR="$<TARGET_FILE:rdliar>" RDTEST_RDTELLER="$<TARGET_FILE:rdteller>"
    RDTEST_MAKE_ORDERS="${PROJECT_SOURCE_DIR}/examples/orders/make-orders")
  gtest_discover_tests(json_tests TEST_PREFIX "json." DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 120 LABELS json)
endif()
