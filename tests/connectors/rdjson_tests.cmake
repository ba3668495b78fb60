# The JSON Lines connector's tests (connectors/json_*.cpp): a program of
# their own, named json.* and labelled json. The connectors' program globs
# the same folder, so they are taken out of it.
get_target_property(rdjson_other_sources connectors_tests SOURCES)
list(FILTER rdjson_other_sources EXCLUDE REGEX "/json_[^/]*\\.cpp$")
set_target_properties(connectors_tests PROPERTIES SOURCES "${rdjson_other_sources}")
if(TARGET rdjson)
  find_package(ZLIB REQUIRED)
  file(GLOB rdjson_test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/connectors/json_*.cpp)
  add_executable(json_tests ${rdjson_test_sources})
  target_link_libraries(json_tests PRIVATE rdtestsupport GTest::gtest GTest::gmock
                        GTest::gtest_main rdxapi rdxconnectorkit SQLite::SQLite3 ZLIB::ZLIB)
  add_dependencies(json_tests rdjson rdcsv)
  target_compile_definitions(json_tests PRIVATE RDTEST_RDJSON_PATH="$<TARGET_FILE:rdjson>"
                             RDTEST_RDCSV_PATH="$<TARGET_FILE:rdcsv>")
  gtest_discover_tests(json_tests TEST_PREFIX "json." DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 120 LABELS json)
endif()
