# Checks that product code outside shared/ releases nothing by hand: what it
# acquires is held by an owner from shared/ (ComPtr, TOwner and its aliases,
# TVariant, TPinInfo, TMediaTypeRecord ...), which makes the release call.
#
#   cmake -DROOT=<source folder> -P tools/check_ownership.cmake
#
# A hand release is a call of ->Release(), VariantClear, SysFreeString,
# CoTaskMemFree, CloseHandle, DeleteObject, DeleteDC, ReleaseDC, RegCloseKey
# or LocalFree outside a comment. The only ones allowed are ->Release() in the
# files below, which implement an object's own reference count by handing it
# on to the object that owns the count. Every hand release is printed as
#   HAND-RELEASE <file>: <line>
# and the script fails when there is one.

cmake_minimum_required(VERSION 3.20)

if(NOT ROOT)
  message(FATAL_ERROR "usage: cmake -DROOT=<source folder> -P check_ownership.cmake")
endif()

# The product folders are the layer table's (cmake/TavrelLayers.cmake), all
# but shared/, whose owners are where the releases belong. A folder the table
# does not name fails the layering check, which reads the same table.
include(${CMAKE_CURRENT_LIST_DIR}/../cmake/TavrelLayers.cmake)
set(product ${TAVREL_LAYERS})
list(REMOVE_ITEM product shared)
# Reference-count implementations: a Release that forwards to the owner's.
set(count_forwarders
  baseclasses/unknown.h             # the delegating IUnknown of aggregated objects
  baseclasses/pin.cpp               # a pin's count is its filter's
  media/filter_graph_callback.cpp   # the callback's count is its component's
)

set(free_calls VariantClear SysFreeString CoTaskMemFree CloseHandle DeleteObject DeleteDC ReleaseDC
    RegCloseKey LocalFree)
string(REPLACE ";" "|" free_names "${free_calls}")
set(free_pattern "(^|[^A-Za-z0-9_])(${free_names})[ \t]*\\(")
set(release_pattern "->[ \t]*Release[ \t]*\\([ \t]*\\)")

set(found 0)
set(checked 0)
foreach(folder IN LISTS product)
  if(NOT IS_DIRECTORY ${ROOT}/${folder})
    continue()
  endif()
  file(GLOB_RECURSE sources RELATIVE ${ROOT}
       ${ROOT}/${folder}/*.h ${ROOT}/${folder}/*.hpp ${ROOT}/${folder}/*.cpp ${ROOT}/${folder}/*.c)
  list(SORT sources)
  foreach(source IN LISTS sources)
    math(EXPR checked "${checked} + 1")
    file(READ ${ROOT}/${source} text)
    # Semicolons would split the lines below into list items.
    string(REPLACE ";" "," text "${text}")
    # Comments name these calls freely: block comments, then line comments.
    while(TRUE)
      string(FIND "${text}" "/*" open)
      if(open EQUAL -1)
        break()
      endif()
      string(SUBSTRING "${text}" ${open} -1 rest)
      string(FIND "${rest}" "*/" close)
      string(SUBSTRING "${text}" 0 ${open} head)
      if(close EQUAL -1)
        set(text "${head}")
      else()
        math(EXPR after "${close} + 2")
        string(SUBSTRING "${rest}" ${after} -1 tail)
        set(text "${head} ${tail}")
      endif()
    endwhile()
    string(REGEX REPLACE "//[^\n]*" "" text "${text}")
    set(patterns "${free_pattern}")
    if(NOT source IN_LIST count_forwarders)
      list(APPEND patterns "${release_pattern}")
    endif()
    foreach(pattern IN LISTS patterns)
      string(REGEX MATCHALL "[^\n]*${pattern}[^\n]*" lines "${text}")
      foreach(line IN LISTS lines)
        string(STRIP "${line}" line)
        message("HAND-RELEASE ${source}: ${line}")
        math(EXPR found "${found} + 1")
      endforeach()
    endforeach()
  endforeach()
endforeach()

if(found GREATER 0)
  message(FATAL_ERROR "${found} hand release(s): hold the resource in an owner from shared/")
endif()
message("ownership: ${checked} files checked, nothing released by hand")
