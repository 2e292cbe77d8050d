# Checks that no source file includes a folder above its own layer.
#
#   cmake -DROOT=<source folder> -P tools/check_layering.cmake
#
# Layers, highest first:
#   app
#   media, process          (siblings: neither includes the other)
#   classlib                (classlib/runtime does not include classlib/ui)
#   baseclasses, shared
# The filter libraries (screen_filter, loopback_filter) and the Wine
# stand-ins (wine_platform) build on baseclasses and shared only, and none of
# them includes another. tests, bench and tools may include anything; no
# product folder includes them. Includes name their file by its path from
# the top ("shared/com_ptr.h"), so a path that climbs with "../" counts as a
# violation too. Every violation is printed as
#   VIOLATION <file>: <included path>
# and the script fails when there is one.

cmake_minimum_required(VERSION 3.20)

if(NOT ROOT)
  message(FATAL_ERROR "usage: cmake -DROOT=<source folder> -P check_layering.cmake")
endif()

# For each product folder: the top folders its files may include.
set(allow_shared shared)
set(allow_baseclasses baseclasses shared)
set(allow_screen_filter screen_filter baseclasses shared)
set(allow_loopback_filter loopback_filter baseclasses shared)
set(allow_wine_platform wine_platform baseclasses shared)
set(allow_classlib classlib baseclasses shared)
set(allow_media media classlib baseclasses shared)
set(allow_process process classlib baseclasses shared)
set(allow_app app media process classlib baseclasses shared)
set(product shared baseclasses screen_filter loopback_filter wine_platform classlib media process app)
# Folders below a top folder that are layers of their own:
# <folder>|<folder it must not include>.
set(inner_rules "classlib/runtime|classlib/ui")

set(top_folders ${product} tests bench tools)

set(violations 0)
set(checked 0)
foreach(folder IN LISTS product)
  if(NOT IS_DIRECTORY ${ROOT}/${folder})
    continue()
  endif()
  file(GLOB_RECURSE sources RELATIVE ${ROOT}
       ${ROOT}/${folder}/*.h ${ROOT}/${folder}/*.hpp ${ROOT}/${folder}/*.cpp
       ${ROOT}/${folder}/*.c ${ROOT}/${folder}/*.rc ${ROOT}/${folder}/*.in)
  list(SORT sources)
  foreach(source IN LISTS sources)
    math(EXPR checked "${checked} + 1")
    file(STRINGS ${ROOT}/${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][^\">]+[\">]")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[\"<]([^\">]+)[\">].*$" "\\1" path "${line}")
      set(bad FALSE)
      if(path MATCHES "(^|/)\\.\\./")
        set(bad TRUE)
      elseif(path MATCHES "^([^/]+)/")
        set(top ${CMAKE_MATCH_1})
        if(top IN_LIST top_folders AND NOT top IN_LIST allow_${folder})
          set(bad TRUE)
        endif()
        foreach(rule IN LISTS inner_rules)
          string(REPLACE "|" ";" rule "${rule}")
          list(GET rule 0 inner)
          list(GET rule 1 above)
          if(source MATCHES "^${inner}/" AND path MATCHES "^${above}/")
            set(bad TRUE)
          endif()
        endforeach()
      endif()
      if(bad)
        message("VIOLATION ${source}: ${path}")
        math(EXPR violations "${violations} + 1")
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations GREATER 0)
  message(FATAL_ERROR "${violations} include(s) of a folder above the file's layer")
endif()
message("layering: ${checked} files checked, no include above its layer")
