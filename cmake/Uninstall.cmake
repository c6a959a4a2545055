# Removes every file named in MANIFEST (one path a line, as CMake's install writes it), honouring
# DESTDIR as the install did.
if(NOT EXISTS "${MANIFEST}")
  message(FATAL_ERROR "Nothing to uninstall: ${MANIFEST} does not exist (run the install first).")
endif()
file(STRINGS "${MANIFEST}" files)
foreach(file IN LISTS files)
  set(path "$ENV{DESTDIR}${file}")
  if(EXISTS "${path}" OR IS_SYMLINK "${path}")
    message(STATUS "Removing ${path}")
    file(REMOVE "${path}")
  endif()
endforeach()
