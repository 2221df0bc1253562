# A system bus that is not there: a test that hosts or shows the list of rooms never
# reaches this machine's Avahi and so never announces or browses on its network.
set(PINWA_TEST_NO_AVAHI "DBUS_SYSTEM_BUS_ADDRESS=unix:path=${CMAKE_BINARY_DIR}/no-system-bus")

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
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_CONFIG_HOME=${CMAKE_CURRENT_BINARY_DIR}/${name}-config;XDG_DATA_HOME=${CMAKE_CURRENT_BINARY_DIR}/${name}-data;DBUS_SESSION_BUS_ADDRESS=;${PINWA_TEST_NO_AVAHI};ASAN_OPTIONS=detect_leaks=1:abort_on_error=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;QT_FATAL_WARNINGS=0")
endfunction()

# pinwa_add_script_test(<name> SCRIPT <file.py> HOST <executable> HOST_SOURCES <files...>
#                       [ENVIRONMENT <list>])
# A test host program driven by a script run with Debian's python3 (where its selenium
# and pyatspi are); the script exits 77 where what it needs is missing.
function(pinwa_add_script_test name)
    cmake_parse_arguments(ARG "" "SCRIPT;HOST;TIMEOUT" "HOST_SOURCES;ENVIRONMENT" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    qt_add_executable(${ARG_HOST} ${ARG_HOST_SOURCES})
    set_target_properties(${ARG_HOST} PROPERTIES MACOSX_BUNDLE OFF WIN32_EXECUTABLE OFF)
    target_link_libraries(${ARG_HOST} PRIVATE Pinwa::Shell Pinwa::TestSupport Qt::Test)
    find_program(PINWA_SYSTEM_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH)
    if(NOT PINWA_SYSTEM_PYTHON)
        find_program(PINWA_SYSTEM_PYTHON python3 REQUIRED)
    endif()
    add_test(NAME ${name} COMMAND ${PINWA_SYSTEM_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/${ARG_SCRIPT}
                                  $<TARGET_FILE:${ARG_HOST}>)
    set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT} SKIP_RETURN_CODE 77
        ENVIRONMENT "${ARG_ENVIRONMENT};${PINWA_TEST_NO_AVAHI};XDG_CONFIG_HOME=${CMAKE_CURRENT_BINARY_DIR}/${name}-config;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
endfunction()
