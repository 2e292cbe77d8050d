# Build rules shared by every target of the project.

if(NOT WIN32)
  message(FATAL_ERROR "Tavrel builds Windows binaries: configure with "
    "-DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-mingw.cmake")
endif()

# Windows headers: target Windows 7 so the Core Audio and newer USER
# declarations are visible; keep the ANSI names as the default.
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX)

# Warnings for our own code only.
function(tavrel_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()

# A static library of ours.
function(tavrel_library target)
  add_library(${target} STATIC ${ARGN})
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
  tavrel_warnings(${target})
endfunction()
