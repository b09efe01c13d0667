# tuvaro_unit_test(NAME name SOURCES a.cpp ... LIBS lib ... [LABELS l ...])
# One GoogleTest executable whose cases ctest discovers one by one.
find_package(GTest REQUIRED)
include(GoogleTest)

function(tuvaro_unit_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  tuvaro_warnings(${T_NAME})
  # gtest_discover_tests cannot pass a list of labels through PROPERTIES (it splits the list
  # into separate property names), so a small script run after discovery labels the tests.
  gtest_discover_tests(${T_NAME} DISCOVERY_TIMEOUT 120 TEST_LIST ${T_NAME}_TESTS)
  set(labels unit ${T_LABELS})
  set(script "${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}_labels.cmake")
  file(WRITE "${script}"
       "if(${T_NAME}_TESTS)\n"
       "  set_tests_properties(\${${T_NAME}_TESTS} PROPERTIES LABELS \"${labels}\")\n"
       "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${script}")
endfunction()
