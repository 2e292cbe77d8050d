# Runs the layering check on the sample tree and compares the violations it
# reports with the list below: every one found, nothing else, and a failure.
cmake_minimum_required(VERSION 3.20)

set(expected
  "VIOLATION app/main.cpp: tests/fixtures/program_support.h"
  "VIOLATION baseclasses/CMakeLists.txt: links with link_libraries, which cannot be checked"
  "VIOLATION baseclasses/filter.cpp: classlib/runtime/lists.h"
  "VIOLATION classlib/runtime/CMakeLists.txt: links classlib_ui"
  "VIOLATION classlib/runtime/thread.cpp: classlib/ui/forms.h"
  "VIOLATION extras/: a source folder the layer table does not name"
  "VIOLATION media/CMakeLists.txt: links program_fixtures"
  "VIOLATION media/graph.cpp: ../app/main.h"
  "VIOLATION process/CMakeLists.txt: links tavrel_app"
  "VIOLATION process/runner.cpp: app/main_form.h"
  "VIOLATION process/runner.cpp: media/graph.h"
  "VIOLATION screen_filter/CMakeLists.txt: links \${EXTRA_LIBS}, which cannot be checked"
  "VIOLATION screen_filter/pin.cpp: loopback_filter/audio_pin.h"
)

execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${ROOT} -P ${CHECK}
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(REGEX MATCHALL "VIOLATION [^\n]*" found "${out}${err}")
list(SORT found)
if(result EQUAL 0)
  message(FATAL_ERROR "the check passed a tree with violations:\n${out}${err}")
endif()
if(NOT found STREQUAL expected)
  string(REPLACE ";" "\n  " found_text "${found}")
  string(REPLACE ";" "\n  " expected_text "${expected}")
  message(FATAL_ERROR "violations found:\n  ${found_text}\nexpected:\n  ${expected_text}")
endif()
list(LENGTH found count)
message("the check found each of the ${count} violations and nothing else")
