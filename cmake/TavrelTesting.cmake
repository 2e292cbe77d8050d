# Tests run under Wine on a private prefix, one Xvfb display and one
# PulseAudio null sink; a CTest fixture starts them for the run and stops
# them at its end.

set(TAVREL_TEST_ENV ${CMAKE_BINARY_DIR}/testenv)
set(TAVREL_WINEENV ${CMAKE_SOURCE_DIR}/tools/wineenv.sh)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TAVREL_WINEENV};exec;${TAVREL_TEST_ENV})

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

include(GoogleTest)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(TAVREL_WINE_ARCH win64)
else()
  set(TAVREL_WINE_ARCH win32)
endif()
add_test(NAME wine_environment_start
         COMMAND ${TAVREL_WINEENV} start ${TAVREL_TEST_ENV} ${TAVREL_WINE_ARCH})
add_test(NAME wine_environment_stop COMMAND ${TAVREL_WINEENV} stop ${TAVREL_TEST_ENV})
set_tests_properties(wine_environment_start PROPERTIES FIXTURES_SETUP wine_env TIMEOUT 600)
set_tests_properties(wine_environment_stop PROPERTIES FIXTURES_CLEANUP wine_env)

# A GoogleTest program whose tests each run as one CTest test under Wine.
#   tavrel_gtest(Target SOURCES ... LIBS ... [DISPLAY] [DEPENDS targets...])
# DISPLAY: the tests paint on or read the shared screen, so they run one at
# a time with every other DISPLAY test.
function(tavrel_gtest target)
  cmake_parse_arguments(A "DISPLAY" "TIMEOUT" "SOURCES;LIBS;DEPENDS" ${ARGN})
  add_executable(${target} ${A_SOURCES})
  tavrel_top_include(${target} PRIVATE)
  target_link_libraries(${target} PRIVATE ${A_LIBS} GTest::gmock GTest::gtest_main)
  tavrel_warnings(${target})
  if(A_DEPENDS)
    add_dependencies(${target} ${A_DEPENDS})
  endif()
  gtest_add_tests(TARGET ${target} SOURCES ${A_SOURCES} TEST_LIST found
                  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 120)
  endif()
  set_tests_properties(${found} PROPERTIES FIXTURES_REQUIRED wine_env TIMEOUT ${A_TIMEOUT})
  if(A_DISPLAY)
    set_tests_properties(${found} PROPERTIES RESOURCE_LOCK display)
  endif()
endfunction()

# A program of the tests' own (a fixture the tests start or load).
function(tavrel_test_fixture target)
  add_executable(${target} ${ARGN})
  tavrel_top_include(${target} PRIVATE)
  tavrel_warnings(${target})
endfunction()
