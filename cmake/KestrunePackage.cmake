# `make uninstall` removes what the last install wrote (install_manifest.txt); `make package` builds a
# Debian package whose runtime dependencies dpkg-shlibdeps computes from the binary.
add_custom_target(uninstall
  COMMAND ${CMAKE_COMMAND} -DMANIFEST=${PROJECT_BINARY_DIR}/install_manifest.txt
          -P ${PROJECT_SOURCE_DIR}/cmake/Uninstall.cmake
  COMMENT "Removing the installed files" VERBATIM)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrune)
set(CPACK_PACKAGE_VENDOR Kestrune)
set(CPACK_PACKAGE_CONTACT "Kestrune maintainers <maintainers@kestrune.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keeps application windows at a saved place and size, per monitor")
set(CPACK_PACKAGE_DESCRIPTION
    "Kestrune is a tray utility for X11 desktops. Lock a running application and Kestrune remembers the\n"
    "frame its main window has now, on the monitor you are working on; whenever that application\n"
    "starts, opens a window, or the monitors change, its windows are moved and resized back.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# Staged with DESTDIR, so that the install-time entries name /usr/bin/kestrune and /etc stays /etc.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
