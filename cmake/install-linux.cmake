# What `cmake --install` puts where on Linux, in the standard places: the program, its desktop
# entry, its icon (the artwork of MAINICON at every size drawn) and its AppStream metainfo.
include(GNUInstallDirs)

install(TARGETS telvora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/org.telvora.Telvora.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/org.telvora.Telvora.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 24 32 48)
  install(FILES ${PROJECT_SOURCE_DIR}/src/app/qt/resources/icons/MAINICON-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME org.telvora.Telvora.png)
endforeach()

# `cpack -G DEB` (or `cpack --preset deb`): a Debian package whose dependencies are Debian's
# package names, the shared libraries' found by dpkg-shlibdeps, the rest named here.
set(CPACK_PACKAGE_NAME telvora)
set(CPACK_PACKAGE_VENDOR "Telvora")
set(CPACK_PACKAGE_CONTACT "Telvora developers <telvora@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Credits district award confirmations in a station logger")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Telvora downloads the district confirmations listed for a callsign over HTTPS, finds "
       "each one among the contacts of a station logger's logs, appends a credit row to the "
       "logger's awards database and lists what matched nothing in ErrorList.txt.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Not libraries, so dpkg-shlibdeps cannot find them: the fonts that stand in for the window's,
# the desktop's "open" for the error list.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation, fonts-dejavu-core, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libsqliteodbc")
set(CPACK_GENERATOR DEB)
include(CPack)
