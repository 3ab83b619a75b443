include(GoogleTest)
find_package(GTest REQUIRED)

# Extra compile flags for the code of the suites marked INTERFACE, whose tests drive screens, views
# and hosts and leave the pixel work to the libraries. The sanitizer presets compile that code
# unoptimised, which halves its build time under the sanitizers and costs the tests nothing
# measurable; the libraries keep their own flags.
set(RUX_INTERFACE_TEST_FLAGS "" CACHE STRING "Compile flags for the code of the interface test suites")

# rux_add_test(NAME [INTERFACE] SOURCES a.cpp ... LIBS lib ...): one GoogleTest executable, its
# tests registered with ctest one by one.
function(rux_add_test name)
    cmake_parse_arguments(ARG "INTERFACE" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    if(ARG_INTERFACE AND RUX_INTERFACE_TEST_FLAGS)
        separate_arguments(interface_flags UNIX_COMMAND "${RUX_INTERFACE_TEST_FLAGS}")
        target_compile_options(${name} PRIVATE ${interface_flags})
    endif()
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/Tests)
    rux_target_warnings(${name})
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120
                         PROPERTIES ENVIRONMENT "RUX_TEST_DATA=${PROJECT_SOURCE_DIR}/Tests/Data")
endfunction()
