# The same Windows build for 64-bit Windows, for testing only: on a host whose kernel runs no
# 32-bit code, Wine starts only 64-bit programs, and the Windows suite checks the same sources
# built this way.
set(TELVORA_MINGW_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
