# pinwa_add_test(<name> SOURCES <files...> LIBS <targets...> [WRAPPER <script>] [TIMEOUT <s>])
# One Qt Test executable, registered with CTest, run on the offscreen platform;
# with WRAPPER, run through that script (which may give it a display of its own).
function(pinwa_add_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT;WRAPPER" "SOURCES;LIBS" ${ARGN})
    qt_add_executable(${name} ${ARG_SOURCES})
    set_target_properties(${name} PROPERTIES MACOSX_BUNDLE OFF WIN32_EXECUTABLE OFF)
    target_link_libraries(${name} PRIVATE Qt::Test ${ARG_LIBS})
    if(ARG_WRAPPER)
        add_test(NAME ${name} COMMAND ${ARG_WRAPPER} $<TARGET_FILE:${name}>)
    else()
        add_test(NAME ${name} COMMAND ${name})
    endif()
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${ARG_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_CONFIG_HOME=${CMAKE_CURRENT_BINARY_DIR}/${name}-config;DBUS_SESSION_BUS_ADDRESS=;ASAN_OPTIONS=detect_leaks=1:abort_on_error=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;QT_FATAL_WARNINGS=0")
endfunction()
