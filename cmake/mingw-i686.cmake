# Telvora.exe as users get it: 32-bit, because the Jet 4.0 engine that reads the logger's Access
# files exists for 32-bit processes only.
set(TELVORA_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
