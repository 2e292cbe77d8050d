# Build rules shared by every target of the project.

if(NOT WIN32)
  message(FATAL_ERROR "Tavrel builds Windows binaries: configure with "
    "-DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-mingw.cmake")
endif()

# Windows headers: target Windows 7 so the Core Audio and newer USER
# declarations are visible; keep the ANSI names as the default.
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX)

# Warnings for our own code only, and each one fails the build: a warning
# left standing is one nobody reads.
function(tavrel_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# Headers are included by their path from the top: "shared/com_ptr.h". No
# folder is put on every target's include path: a library publishes the top
# to whoever links it, and a program or a test adds it for its own sources.
# Which folder may include and link which is one table
# (cmake/TavrelLayers.cmake), checked by the layering test.
function(tavrel_top_include target scope)
  target_include_directories(${target} ${scope} ${CMAKE_SOURCE_DIR})
endfunction()

# A static library of ours. Its users get the top folder through it; what
# it includes from another folder it links with target_link_libraries.
function(tavrel_library target)
  add_library(${target} STATIC ${ARGN})
  tavrel_top_include(${target} PUBLIC)
  tavrel_warnings(${target})
endfunction()

# A program of ours (not a test).
#   tavrel_program(Target [WIN32] SOURCES ... LIBS ...)
function(tavrel_program target)
  cmake_parse_arguments(A "WIN32" "" "SOURCES;LIBS" ${ARGN})
  if(A_WIN32)
    add_executable(${target} WIN32 ${A_SOURCES})
  else()
    add_executable(${target} ${A_SOURCES})
  endif()
  tavrel_top_include(${target} PRIVATE)
  target_link_libraries(${target} PRIVATE ${A_LIBS})
  tavrel_warnings(${target})
endfunction()

# An in-process COM server: a DLL whose four exports come from a .def file
# and keep their undecorated names.
#   tavrel_com_server(Target DEF file.def SOURCES ... LIBS ...)
function(tavrel_com_server target)
  cmake_parse_arguments(A "" "DEF" "SOURCES;LIBS" ${ARGN})
  add_library(${target} SHARED ${A_SOURCES} ${A_DEF})
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${target})
  target_link_options(${target} PRIVATE -Wl,--enable-stdcall-fixup)
  target_link_libraries(${target} PRIVATE ${A_LIBS})
  tavrel_top_include(${target} PRIVATE)
  tavrel_warnings(${target})
endfunction()
