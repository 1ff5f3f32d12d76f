# vrel_add_test(NAME SOURCES file... LIBS target... [LABELS label...] [ENV VAR=value...])
# One QtTest program per file, one CTest entry each, headless by default. No session bus either:
# a tray icon made in a test would otherwise appear in the tray of the desktop running the tests.
function(vrel_add_test name)
    cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE vrel_flags Qt6::Test ${T_LIBS})
    target_compile_definitions(${name} PRIVATE
        VREL_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data"
        VREL_BIN_DIR="${VREL_BIN_DIR}")
    add_test(NAME ${name} COMMAND ${name})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${T_TIMEOUT}
        LABELS "${T_LABELS}"
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;DBUS_SESSION_BUS_ADDRESS=disabled:;LANG=C.UTF-8;UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1;ASAN_OPTIONS=detect_leaks=1;LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp;${T_ENV}")
endfunction()
