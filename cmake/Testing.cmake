# tuvaro_unit_test(NAME name SOURCES a.cpp ... LIBS lib ... [LABELS l ...])
# One GoogleTest executable whose cases ctest discovers one by one.
find_package(GTest REQUIRED)
include(GoogleTest)

function(tuvaro_unit_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  tuvaro_warnings(${T_NAME})
  gtest_discover_tests(${T_NAME} DISCOVERY_TIMEOUT 120)
  # gtest_discover_tests splits a list-valued property into separate words, so that every
  # label after the first would be lost: label the discovered cases from a file that ctest
  # reads after the discovered list.
  set(_labels_file ${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}_labels.cmake)
  file(WRITE ${_labels_file}
       "if(${T_NAME}_TESTS)\n"
       "  set_tests_properties(\${${T_NAME}_TESTS} PROPERTIES LABELS \"unit;${T_LABELS}\")\n"
       "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${_labels_file})
endfunction()
