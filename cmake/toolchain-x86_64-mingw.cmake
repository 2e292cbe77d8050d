# 64-bit x86 Windows: the same sources, for test machines whose kernel cannot
# run 32-bit programs (and so cannot run 32-bit Wine).
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
