# Install-time step: writes the menu entry and the autostart entry with the installed binary's path.
set(KESTRUNE_EXEC "${CMAKE_INSTALL_PREFIX}/${KESTRUNE_BINDIR}/kestrune")
configure_file("${KESTRUNE_DATA}/org.kestrune.Kestrune.desktop.in" "${KESTRUNE_STAGE}/org.kestrune.Kestrune.desktop" @ONLY)
configure_file("${KESTRUNE_DATA}/kestrune-autostart.desktop.in" "${KESTRUNE_STAGE}/autostart/kestrune.desktop" @ONLY)
file(INSTALL "${KESTRUNE_STAGE}/org.kestrune.Kestrune.desktop"
     DESTINATION "${CMAKE_INSTALL_PREFIX}/${KESTRUNE_DATADIR}/applications")

# Sessions read autostart entries from $XDG_CONFIG_DIRS, /etc/xdg unless set: a system-wide install
# puts its entry there, any other prefix under its own etc/. The settings window's "Launch at login"
# switch hides this entry for a user who turns it off.
if(CMAKE_INSTALL_PREFIX MATCHES "^/usr(/local)?/*$")
  set(autostart /etc/xdg/autostart)
else()
  set(autostart "${CMAKE_INSTALL_PREFIX}/etc/xdg/autostart")
endif()
file(INSTALL "${KESTRUNE_STAGE}/autostart/kestrune.desktop" DESTINATION "${autostart}")
