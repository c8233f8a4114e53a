# The Windows build's package: `cpack --preset windows-zip` makes Telvora-<version>-win32.zip,
# one folder with Telvora.exe (the C++ runtime linked in) and a short readme. Telvora keeps its
# files beside the executable, so the folder runs wherever the user unpacks it.
install(TARGETS telvora_exe RUNTIME DESTINATION .)
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/README.txt.in
               ${CMAKE_BINARY_DIR}/packaging/README.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/packaging/README.txt DESTINATION .)

set(CPACK_PACKAGE_NAME Telvora)
set(CPACK_PACKAGE_VENDOR "Telvora")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME win32)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_GENERATOR ZIP)
include(CPack)
