# station_test_environment(<out-var> <gl>): the environment every test runs in
# (sanitizer options and suppressions, the Qt platform); gl true for tests that
# need the X server.
function(station_test_environment out gl)
  set(env
    "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=0"
    "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
    "TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/tsan.supp:halt_on_error=1:second_deadlock_stack=1"
    "QT_LOGGING_RULES=qt.qpa.*=false"
    "STATION_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
  if(NOT gl)
    # Under xvfb-run the offscreen plugin would take GLX from the display and
    # give GL widgets a context; these tests run without one.
    list(APPEND env "QT_QPA_PLATFORM=offscreen" "QT_QPA_OFFSCREEN_NO_GLX=1")
  else()
    list(APPEND env "LIBGL_ALWAYS_SOFTWARE=1")
    # libxkbcommon-x11 strndup()s keymap names that are not NUL-terminated
    # inside their buffer; the strict check reports that on every X connection.
    list(TRANSFORM env REPLACE "strict_string_checks=1" "strict_string_checks=0")
    list(TRANSFORM env REPLACE "tests/lsan.supp" "tests/lsan-gl.supp")
  endif()
  set(${out} "${env}" PARENT_SCOPE)
endfunction()

# station_add_test(<name> SOURCES <files...> LIBS <targets...> [GL] [LABELS <labels...>] [RESOURCE_LOCK <locks...>])
#
# One GoogleTest executable registered as one CTest test. Widget tests run on the
# offscreen platform; GL tests need the X server that the test command provides
# through xvfb-run.
function(station_add_test name)
  cmake_parse_arguments(T "GL" "TIMEOUT" "SOURCES;LIBS;LABELS;RESOURCE_LOCK" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} station_test_support)
  add_test(NAME ${name} COMMAND ${name})
  station_test_environment(env ${T_GL})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT ${T_TIMEOUT})
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
  if(T_RESOURCE_LOCK)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${T_RESOURCE_LOCK}")
  endif()
endfunction()
