# tuvaro_unit_test(NAME name SOURCES a.cpp ... LIBS lib ... [LABELS l ...])
# One GoogleTest executable whose cases ctest discovers one by one.
find_package(GTest REQUIRED)
include(GoogleTest)

function(tuvaro_unit_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  tuvaro_warnings(${T_NAME})
  gtest_discover_tests(${T_NAME} DISCOVERY_TIMEOUT 120 PROPERTIES LABELS "unit;${T_LABELS}")
endfunction()
