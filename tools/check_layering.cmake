# Checks the layers of the product against their one table
# (cmake/TavrelLayers.cmake):
#
#   cmake -DROOT=<source folder> -P tools/check_layering.cmake
#
# - every top folder holding a source file is named by the table, as a
#   product folder or as one outside the product (tests, bench, tools, ...);
# - no source file of a product folder includes a folder above its layer.
#   Includes name their file by its path from the top ("shared/com_ptr.h"),
#   so a path that climbs with "../" counts as a violation too;
# - no target of a product folder links a library of a folder above its
#   layer. Links are read from the product folders' CMakeLists.txt files
#   (target_link_libraries, and the LIBS of tavrel_program and
#   tavrel_com_server); a link the check cannot resolve (a variable, a
#   generator expression, link_libraries) is a violation too, so nothing
#   goes unchecked. A linked name that no CMakeLists.txt of the tree declares
#   is a library of the system or the toolchain.
# Every violation is printed as
#   VIOLATION <file>: <what it uses>
# and the script fails when there is one.

cmake_minimum_required(VERSION 3.20)

if(NOT ROOT)
  message(FATAL_ERROR "usage: cmake -DROOT=<source folder> -P check_layering.cmake")
endif()

include(${CMAKE_CURRENT_LIST_DIR}/../cmake/TavrelLayers.cmake)
set(product ${TAVREL_LAYERS})
set(top_folders ${product} ${TAVREL_NOT_PRODUCT})

set(violations 0)
function(violation text)
  message("VIOLATION ${text}")
  math(EXPR count "${violations} + 1")
  set(violations ${count} PARENT_SCOPE)
endfunction()

# The top folder of a path from the top ("classlib/ui/x.h" -> classlib).
function(top_of path out)
  string(REGEX REPLACE "/.*$" "" top "${path}")
  set(${out} ${top} PARENT_SCOPE)
endfunction()

# Whether a file or folder of <user> (a path from the top) may use <used>.
function(may_use user used out)
  top_of("${user}" user_top)
  top_of("${used}" used_top)
  set(ok TRUE)
  if(NOT used_top IN_LIST TAVREL_LAYER_${user_top})
    set(ok FALSE)
  endif()
  foreach(rule IN LISTS TAVREL_INNER_LAYERS)
    string(REPLACE "|" ";" rule "${rule}")
    list(GET rule 0 inner)
    list(GET rule 1 above)
    if("${user}/" MATCHES "^${inner}/" AND "${used}/" MATCHES "^${above}/")
      set(ok FALSE)
    endif()
  endforeach()
  set(${out} ${ok} PARENT_SCOPE)
endfunction()

# --- Every source folder is named by the table.
file(GLOB entries RELATIVE ${ROOT} ${ROOT}/*)
list(SORT entries)
foreach(entry IN LISTS entries)
  if(NOT IS_DIRECTORY ${ROOT}/${entry} OR entry MATCHES "^\\." OR entry IN_LIST top_folders)
    continue()
  endif()
  file(GLOB_RECURSE found ${ROOT}/${entry}/*.h ${ROOT}/${entry}/*.hpp
       ${ROOT}/${entry}/*.cpp ${ROOT}/${entry}/*.c)
  if(found)
    violation("${entry}/: a source folder the layer table does not name")
  endif()
endforeach()

# --- Includes.
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
      set(ok TRUE)
      if(path MATCHES "(^|/)\\.\\./")
        set(ok FALSE)
      elseif(path MATCHES "^([^/]+)/")
        # A folder of the tree (named by the table or not), not a system
        # header's folder.
        if(CMAKE_MATCH_1 IN_LIST top_folders OR IS_DIRECTORY ${ROOT}/${CMAKE_MATCH_1})
          may_use("${source}" "${path}" ok)
        endif()
      endif()
      if(NOT ok)
        violation("${source}: ${path}")
      endif()
    endforeach()
  endforeach()
endforeach()

# --- Links.
file(GLOB_RECURSE lists_files RELATIVE ${ROOT} ${ROOT}/CMakeLists.txt ${ROOT}/*/CMakeLists.txt)
list(FILTER lists_files EXCLUDE REGEX "^(build|\\.)[^/]*/")
list(SORT lists_files)

# The commands of a CMakeLists.txt named <pattern>, each as a list: the
# command's name and its arguments. Comments are dropped first.
function(commands_of file pattern out)
  file(STRINGS ${ROOT}/${file} lines)
  set(text "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "#.*$" "" line "${line}")
    string(APPEND text "${line} ")
  endforeach()
  string(REGEX MATCHALL "(${pattern})[ \t]*\\([^)]*\\)" found "${text}")
  set(result "")
  foreach(command IN LISTS found)
    string(REGEX REPLACE "[ \t]*\\(" " " command "${command}")
    string(REGEX REPLACE "\\)$" "" command "${command}")
    string(STRIP "${command}" command)
    string(REGEX REPLACE "[ \t]+" "|" command "${command}")
    list(APPEND result "${command}")
  endforeach()
  set(${out} "${result}" PARENT_SCOPE)
endfunction()

# Where each target is declared: its folder, a product folder's declaration
# first (a sample tree below tests may reuse a product target's name).
set(declare_pattern "add_library|add_executable|tavrel_library|tavrel_com_server|tavrel_program")
foreach(pass product other)
  foreach(file IN LISTS lists_files)
    get_filename_component(dir ${file} DIRECTORY)
    top_of("${dir}" top)
    if(pass STREQUAL "product" AND NOT top IN_LIST product)
      continue()
    endif()
    commands_of(${file} "${declare_pattern}" commands)
    foreach(command IN LISTS commands)
      string(REPLACE "|" ";" command "${command}")
      list(GET command 1 name)
      if(NOT DEFINED target_dir_${name})
        set(target_dir_${name} "${dir}")
      endif()
    endforeach()
  endforeach()
endforeach()

set(link_keywords PUBLIC PRIVATE INTERFACE LINK_PUBLIC LINK_PRIVATE LINK_INTERFACE_LIBRARIES
    debug optimized general)
foreach(file IN LISTS lists_files)
  get_filename_component(dir ${file} DIRECTORY)
  top_of("${dir}" top)
  if(NOT top IN_LIST product)
    continue()
  endif()
  # link_libraries() links every target of the folder with what it names,
  # past the check of each target's links.
  file(READ ${ROOT}/${file} text)
  if(text MATCHES "(^|[\n \t(])link_libraries[ \t]*\\(")
    violation("${file}: links with link_libraries, which cannot be checked")
  endif()
  commands_of(${file} "target_link_libraries|tavrel_com_server|tavrel_program" commands)
  foreach(command IN LISTS commands)
    string(REPLACE "|" ";" command "${command}")
    list(POP_FRONT command kind name)
    if(DEFINED target_dir_${name})
      set(user "${target_dir_${name}}")
    else()
      set(user "${dir}")
    endif()
    set(items "")
    if(kind STREQUAL "target_link_libraries")
      set(items ${command})
    else()
      # tavrel_program / tavrel_com_server: what follows LIBS, up to the
      # next keyword.
      set(in_libs FALSE)
      foreach(arg IN LISTS command)
        if(arg MATCHES "^(SOURCES|DEF|WIN32)$")
          set(in_libs FALSE)
        elseif(arg STREQUAL "LIBS")
          set(in_libs TRUE)
        elseif(in_libs)
          list(APPEND items "${arg}")
        endif()
      endforeach()
    endif()
    foreach(item IN LISTS items)
      if(item IN_LIST link_keywords OR item MATCHES "^-")
        continue()
      endif()
      if(item MATCHES "[$@\"]")
        violation("${file}: links ${item}, which cannot be checked")
      elseif(DEFINED target_dir_${item})
        set(ok FALSE)
        top_of("${target_dir_${item}}" used_top)
        if(used_top IN_LIST product)
          may_use("${user}" "${target_dir_${item}}" ok)
        endif()
        if(NOT ok)
          violation("${file}: links ${item}")
        endif()
      endif()
      # Anything else is a library of the system or the toolchain.
    endforeach()
  endforeach()
endforeach()

if(violations GREATER 0)
  message(FATAL_ERROR "${violations} use(s) of a folder above the user's layer or outside the table")
endif()
message("layering: ${checked} files checked, no include or link above its layer, no folder outside the table")
