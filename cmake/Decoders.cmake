# The picture decoders for the formats GDI+ cannot read (libheif with
# libde265 and dav1d, libwebp), cross-built from Debian's source packages by
# scripts/build-decoders once per machine and cached. The program loads them
# at run time from its own folder (a missing DLL leaves those pictures
# undrawn, never the program unstarted), so only their headers are compiled
# against here; the DLLs and their licences are installed beside it.
execute_process(
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/build-decoders
  OUTPUT_VARIABLE QV_DECODERS_OUTPUT
  RESULT_VARIABLE QV_DECODERS_RESULT
  OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT QV_DECODERS_RESULT EQUAL 0)
  message(FATAL_ERROR "scripts/build-decoders failed (${QV_DECODERS_RESULT})")
endif()
string(REGEX REPLACE ".*\n" "" QV_DECODERS_DIR "${QV_DECODERS_OUTPUT}")
message(STATUS "Picture decoders: ${QV_DECODERS_DIR}")

add_library(decoder_headers INTERFACE)
target_include_directories(decoder_headers SYSTEM INTERFACE ${QV_DECODERS_DIR}/include)

# What the program loads (libheif loads libde265 and libdav1d itself).
set(QV_DECODER_DLLS
  ${QV_DECODERS_DIR}/bin/libheif.dll
  ${QV_DECODERS_DIR}/bin/libde265.dll
  ${QV_DECODERS_DIR}/bin/libdav1d.dll
  ${QV_DECODERS_DIR}/bin/libwebp.dll
  ${QV_DECODERS_DIR}/bin/libwebpdemux.dll)
install(FILES ${QV_DECODER_DLLS} DESTINATION program)
install(DIRECTORY ${QV_DECODERS_DIR}/licenses/ DESTINATION program/licenses)

# quorvane_copy_decoders(<target>): the DLLs beside an executable of the
# build tree, as they lie beside the installed program.
function(quorvane_copy_decoders target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${QV_DECODER_DLLS} $<TARGET_FILE_DIR:${target}>
    VERBATIM)
endfunction()
