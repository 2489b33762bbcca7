# sarvello_add_test(NAME <target> SOURCES <files...> LIBS <libs...>)
# One GoogleTest executable whose cases CTest runs one by one.
function(sarvello_add_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_include_directories(${T_NAME} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
  gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "SARVELLO_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endfunction()
