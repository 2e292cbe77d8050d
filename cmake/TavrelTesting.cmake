# Tests run under Wine in test environments: each a private prefix, an Xvfb
# display and a PulseAudio null sink of its own (build/testenv-N), with its
# own copy of the program folder bin/ (hard links, made when the environment
# is prepared), so that the files tests leave beside their program do not
# meet. The tests are dealt out over the environments; those that hold the
# display or the sound hold them in their own environment only, so as many of
# them run at once as there are environments. CTest fixtures start each
# environment for the run and stop it at its end, when a test of the run
# needs it.

set(TAVREL_TEST_ENVIRONMENTS 4 CACHE STRING "How many test environments the tests are dealt out over")
set(TAVREL_WINEENV ${CMAKE_SOURCE_DIR}/tools/wineenv.sh)
# The test program runs from its environment's copy of bin/ (TAVREL_TEST_ENV,
# set on every test).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/tools/test-exec.sh;${CMAKE_BINARY_DIR})

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

include(GoogleTest)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(TAVREL_WINE_ARCH win64)
else()
  set(TAVREL_WINE_ARCH win32)
endif()
math(EXPR last_environment "${TAVREL_TEST_ENVIRONMENTS} - 1")
set(TAVREL_TEST_PROGRAM_FOLDERS)
foreach(n RANGE 0 ${last_environment})
  set(state ${CMAKE_BINARY_DIR}/testenv-${n})
  list(APPEND TAVREL_TEST_PROGRAM_FOLDERS ${state}/bin)
  add_test(NAME wine_environment_start_${n}
           COMMAND ${TAVREL_WINEENV} start ${state} ${TAVREL_WINE_ARCH})
  add_test(NAME wine_environment_stop_${n} COMMAND ${TAVREL_WINEENV} stop ${state})
  set_tests_properties(wine_environment_start_${n} PROPERTIES
                       FIXTURES_SETUP "wine_env_${n};wine_started_${n}" TIMEOUT 600)
  set_tests_properties(wine_environment_stop_${n} PROPERTIES
                       FIXTURES_CLEANUP "wine_env_${n};wine_started_${n}")
  # The prefix as the program needs it: both filter libraries and the
  # platform stand-ins registered, lib\ffmpeg.exe in place, all of it in
  # the environment's copy of bin/.
  add_test(NAME wine_prefix_prepare_${n}
           COMMAND bash ${CMAKE_SOURCE_DIR}/tools/prepare-prefix.sh ${state} ${CMAKE_BINARY_DIR} ${state}/bin)
  set_tests_properties(wine_prefix_prepare_${n} PROPERTIES FIXTURES_SETUP wine_env_${n}
                       FIXTURES_REQUIRED wine_started_${n} TIMEOUT 300)
endforeach()
# The first environment is also the one to use by hand.
set(TAVREL_TEST_ENV ${CMAKE_BINARY_DIR}/testenv-0)

# A GoogleTest program whose tests each run as one CTest test under Wine.
#   tavrel_gtest(Target SOURCES ... LIBS ... [DISPLAY] [DEPENDS targets...]
#                [LOCKS names...])
# DISPLAY: the tests paint on or read the screen, so they run one at a time
# with every other DISPLAY test of their environment. LOCKS: further
# resources of the environment (for example "sound": the null sink and the
# capture devices' line states) that the tests hold one at a time.
# The tests are dealt out over the environments in turn, those with locks
# apart from those without, so that each environment gets its share of both.
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
  set(locks ${A_LOCKS})
  if(A_DISPLAY)
    list(APPEND locks display)
  endif()
  if(locks)
    set(turn_property TAVREL_LOCKED_TESTS_DEALT)
  else()
    set(turn_property TAVREL_FREE_TESTS_DEALT)
  endif()
  get_property(dealt GLOBAL PROPERTY ${turn_property})
  if(NOT dealt)
    set(dealt 0)
  endif()
  foreach(test IN LISTS found)
    math(EXPR n "${dealt} % ${TAVREL_TEST_ENVIRONMENTS}")
    math(EXPR dealt "${dealt} + 1")
    set(test_locks)
    foreach(lock IN LISTS locks)
      list(APPEND test_locks ${lock}_${n})
    endforeach()
    set_tests_properties(${test} PROPERTIES FIXTURES_REQUIRED wine_env_${n} TIMEOUT ${A_TIMEOUT}
                         ENVIRONMENT TAVREL_TEST_ENV=${CMAKE_BINARY_DIR}/testenv-${n})
    if(test_locks)
      set_tests_properties(${test} PROPERTIES RESOURCE_LOCK "${test_locks}")
    endif()
  endforeach()
  set_property(GLOBAL PROPERTY ${turn_property} ${dealt})
endfunction()

# A program of the tests' own (a fixture the tests start or load).
function(tavrel_test_fixture target)
  add_executable(${target} ${ARGN})
  tavrel_top_include(${target} PRIVATE)
  tavrel_warnings(${target})
endfunction()
