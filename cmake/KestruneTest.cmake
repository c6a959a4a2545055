# kestrune_add_test(<subject> LABEL <unit|ui|x11|e2e|kwin> SOURCES <files...> [LIBS <targets...>]
#                   [WMS <window managers...>] [TIMEOUT <seconds>])
#
# One QtTest executable per subject, registered with CTest under its label so that
# `ctest -L unit` and friends select a suite. The label also decides the environment:
#   unit  no display at all
#   ui    widgets on the offscreen platform
#   x11   run inside a private X server with a window manager (tests/x11 harness)
#   e2e   the built application driven like a user
#   kwin  the built application on a private headless Plasma Wayland session (scripts/with-kwin-session)
# x11 and e2e subjects run once per window manager in WMS (default: openbox), as tests named
# <subject>@<wm> carrying the label wm-<wm> too, so `ctest -L wm-kwin` runs one window manager alone and
# a failure names the window manager it happened under.
set(KESTRUNE_WINDOW_MANAGERS openbox metacity xfwm4 kwin mutter)

function(kestrune_add_test subject)
  cmake_parse_arguments(T "" "LABEL;TIMEOUT" "SOURCES;LIBS;WMS" ${ARGN})
  if(NOT T_LABEL MATCHES "^(unit|ui|x11|e2e|kwin)$")
    message(FATAL_ERROR "kestrune_add_test(${subject}): unknown label '${T_LABEL}'")
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()

  set(target tst_${subject})
  add_executable(${target} ${T_SOURCES})
  target_link_libraries(${target} PRIVATE Qt6::Test kestrune_test_support ${T_LIBS})

  set(env "QT_FORCE_STDERR_LOGGING=1")
  if(T_LABEL STREQUAL "unit")
    list(APPEND env "QT_QPA_PLATFORM=minimal")
  elseif(T_LABEL STREQUAL "ui")
    list(APPEND env "QT_QPA_PLATFORM=offscreen")
  endif()

  if(NOT (T_LABEL STREQUAL "x11" OR T_LABEL STREQUAL "e2e"))
    if(T_WMS)
      message(FATAL_ERROR "kestrune_add_test(${subject}): WMS only applies to x11 and e2e tests")
    endif()
    set(command $<TARGET_FILE:${target}>)
    if(T_LABEL STREQUAL "kwin")
      set(command ${PROJECT_SOURCE_DIR}/scripts/with-kwin-session ${command})
    endif()
    add_test(NAME ${subject} COMMAND ${command})
    set_tests_properties(${subject} PROPERTIES LABELS ${T_LABEL} TIMEOUT ${T_TIMEOUT}
                         ENVIRONMENT "${env}")
    return()
  endif()

  if(NOT T_WMS)
    set(T_WMS openbox)
  endif()
  foreach(wm IN LISTS T_WMS)
    if(NOT wm IN_LIST KESTRUNE_WINDOW_MANAGERS)
      message(FATAL_ERROR "kestrune_add_test(${subject}): unknown window manager '${wm}'")
    endif()
    set(name ${subject}@${wm})
    add_test(NAME ${name}
             COMMAND ${PROJECT_SOURCE_DIR}/scripts/with-xsession $<TARGET_FILE:${target}>)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABEL};wm-${wm}" TIMEOUT ${T_TIMEOUT}
                         ENVIRONMENT "${env};KESTRUNE_TEST_WM=${wm}")
  endforeach()
endfunction()
