# Checks that every source file of ours (.cpp, .h) is laid out as the
# .clang-format at the top says:
#
#   cmake -DROOT=<source folder> -DCLANG_FORMAT=<clang-format> -P tools/check_format.cmake
#
# The product folders (cmake/TavrelLayers.cmake), tests, bench and tools are
# checked; the sample trees of the layering and ownership checks are not,
# their odd layout is what they test. Every file that differs is printed as
#   UNFORMATTED <file>
# and the script fails when there is one. To lay a file out:
#   clang-format -i <file>

cmake_minimum_required(VERSION 3.20)

if(NOT ROOT)
  message(FATAL_ERROR "usage: cmake -DROOT=<source folder> -DCLANG_FORMAT=<clang-format> -P check_format.cmake")
endif()
if(NOT CLANG_FORMAT OR NOT EXISTS "${CLANG_FORMAT}")
  message(FATAL_ERROR "clang-format was not found (looked for clang-format-14 and clang-format when the build "
                      "was configured); tools/install-deps.sh installs it, then configure the build again")
endif()
if(NOT EXISTS ${ROOT}/.clang-format)
  message(FATAL_ERROR "${ROOT}/.clang-format is missing")
endif()

include(${CMAKE_CURRENT_LIST_DIR}/../cmake/TavrelLayers.cmake)
set(patterns "")
foreach(folder IN LISTS TAVREL_LAYERS ITEMS tests bench tools)
  list(APPEND patterns ${ROOT}/${folder}/*.cpp ${ROOT}/${folder}/*.h)
endforeach()
file(GLOB_RECURSE sources RELATIVE ${ROOT} ${patterns})
list(FILTER sources EXCLUDE REGEX "^tests/layering/(sample|ownership_sample)/")
list(SORT sources)
list(LENGTH sources total)
if(total EQUAL 0)
  message(FATAL_ERROR "no source file found below ${ROOT}")
endif()

execute_process(COMMAND ${CLANG_FORMAT} --version OUTPUT_VARIABLE version OUTPUT_STRIP_TRAILING_WHITESPACE)
# One run for all files; each difference is reported as "<file>:<line>:<column>: error: ...".
execute_process(COMMAND ${CLANG_FORMAT} --style=file --dry-run --Werror ${sources}
                WORKING_DIRECTORY ${ROOT}
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(REGEX MATCHALL "(^|\n)[^\n:]+:[0-9]+:[0-9]+: error:" found "${out}${err}")
set(unformatted "")
foreach(line IN LISTS found)
  string(REGEX REPLACE "^\n?([^\n:]+):[0-9]+:[0-9]+: error:$" "\\1" file "${line}")
  list(APPEND unformatted ${file})
endforeach()
if(unformatted)
  list(REMOVE_DUPLICATES unformatted)
endif()
foreach(file IN LISTS unformatted)
  message("UNFORMATTED ${file}")
endforeach()
list(LENGTH unformatted count)
if(count GREATER 0)
  message(FATAL_ERROR "${count} of ${total} files differ from .clang-format (${version}); "
                      "lay each out with: clang-format -i <file>")
endif()
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${CLANG_FORMAT} failed:\n${out}${err}")
endif()
message("format: ${total} files checked against .clang-format (${version}), all laid out as it says")
