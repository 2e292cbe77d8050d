# The Windows FFmpeg that the program runs as "lib\ffmpeg.exe" (relative to
# its working folder, the build's bin/): the npm package of the build's
# architecture, checked against tools/ffmpeg.sha512. Not part of the sources.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(TAVREL_FFMPEG_ARCH x64)
else()
  set(TAVREL_FFMPEG_ARCH ia32)
endif()
set(TAVREL_FFMPEG_EXE ${CMAKE_BINARY_DIR}/bin/lib/ffmpeg.exe)
add_custom_command(
  OUTPUT ${TAVREL_FFMPEG_EXE}
  COMMAND bash ${CMAKE_SOURCE_DIR}/tools/fetch-ffmpeg.sh ${TAVREL_FFMPEG_ARCH}
          ${TAVREL_FFMPEG_EXE} ${CMAKE_BINARY_DIR}/ffmpeg
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/ffmpeg.sha512 ${CMAKE_SOURCE_DIR}/tools/fetch-ffmpeg.sh
  COMMENT "Windows FFmpeg (${TAVREL_FFMPEG_ARCH}) at bin/lib/ffmpeg.exe"
  VERBATIM)
add_custom_target(ffmpeg_windows ALL DEPENDS ${TAVREL_FFMPEG_EXE})
