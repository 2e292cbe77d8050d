# Outside libraries, each wrapped in one interface target that carries its
# include folder and its link libraries.

# libpng with the static zlib it needs (built by tools/build-libpng.sh).
find_library(TAVREL_PNG_LIBRARY NAMES png16 png REQUIRED)
find_path(TAVREL_PNG_INCLUDE png.h REQUIRED)
find_library(TAVREL_ZLIB_LIBRARY NAMES libz.a REQUIRED)
add_library(tavrel_png INTERFACE)
target_include_directories(tavrel_png INTERFACE ${TAVREL_PNG_INCLUDE})
target_link_libraries(tavrel_png INTERFACE ${TAVREL_PNG_LIBRARY} ${TAVREL_ZLIB_LIBRARY})
