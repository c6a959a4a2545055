# kestrune_add_test(<subject> LABEL <unit|ui|x11|e2e> SOURCES <files...> [LIBS <targets...>])
#
# One QtTest executable per subject, registered with CTest under its label so that
# `ctest -L unit` and friends select a suite. The label also decides the environment:
#   unit  no display at all
#   ui    widgets on the offscreen platform
#   x11   run inside a private X server with a window manager (tests/x11 harness)
#   e2e   the built application driven like a user
function(kestrune_add_test subject)
  cmake_parse_arguments(T "" "LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_LABEL MATCHES "^(unit|ui|x11|e2e|reliability)$")
    message(FATAL_ERROR "kestrune_add_test(${subject}): unknown label '${T_LABEL}'")
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()

  set(target tst_${subject})
  add_executable(${target} ${T_SOURCES})
  target_link_libraries(${target} PRIVATE Qt6::Test kestrune_test_support ${T_LIBS})

  set(command $<TARGET_FILE:${target}>)
  if(T_LABEL STREQUAL "x11" OR T_LABEL STREQUAL "e2e")
    set(command ${PROJECT_SOURCE_DIR}/tests/x11/with-xsession ${command})
  endif()
  add_test(NAME ${subject} COMMAND ${command})

  set(env "QT_FORCE_STDERR_LOGGING=1")
  if(T_LABEL STREQUAL "unit")
    list(APPEND env "QT_QPA_PLATFORM=minimal")
  elseif(T_LABEL STREQUAL "ui")
    list(APPEND env "QT_QPA_PLATFORM=offscreen")
  endif()
  set_tests_properties(${subject} PROPERTIES LABELS ${T_LABEL} TIMEOUT ${T_TIMEOUT}
                       ENVIRONMENT "${env}")
endfunction()
