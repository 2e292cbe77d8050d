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
set_tests_properties(wine_environment_start PROPERTIES FIXTURES_SETUP "wine_env;wine_started"
                     TIMEOUT 600)
set_tests_properties(wine_environment_stop PROPERTIES FIXTURES_CLEANUP "wine_env;wine_started")
# The prefix as the program needs it: both filter libraries and the platform
# stand-ins registered, lib\ffmpeg.exe in place.
add_test(NAME wine_prefix_prepare
         COMMAND bash ${CMAKE_SOURCE_DIR}/tools/prepare-prefix.sh ${TAVREL_TEST_ENV} ${CMAKE_BINARY_DIR})
set_tests_properties(wine_prefix_prepare PROPERTIES FIXTURES_SETUP wine_env
                     FIXTURES_REQUIRED wine_started TIMEOUT 300)

# A GoogleTest program whose tests each run as one CTest test under Wine.
#   tavrel_gtest(Target SOURCES ... LIBS ... [DISPLAY] [DEPENDS targets...]
#                [LOCKS names...])
# DISPLAY: the tests paint on or read the shared screen, so they run one at
# a time with every other DISPLAY test. LOCKS: further shared resources
# (for example "sound": the null sink and the capture devices' line states)
# that the tests hold one at a time.
function(tavrel_gtest target)
  cmake_parse_arguments(A "DISPLAY" "TIMEOUT" "SOURCES;LIBS;DEPENDS;LOCKS" ${ARGN})
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
  set(locks ${A_LOCKS})
  if(A_DISPLAY)
    list(APPEND locks display)
  endif()
  if(locks)
    set_tests_properties(${found} PROPERTIES RESOURCE_LOCK "${locks}")
  endif()
endfunction()

# A program of the tests' own (a fixture the tests start or load).
function(tavrel_test_fixture target)
  add_executable(${target} ${ARGN})
  tavrel_top_include(${target} PRIVATE)
  tavrel_warnings(${target})
endfunction()
