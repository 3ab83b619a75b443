include(GoogleTest)
find_package(GTest REQUIRED)

# rux_add_test(NAME SOURCES a.cpp ... LIBS lib ...): one GoogleTest executable, its tests
# registered with ctest one by one.
function(rux_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/Tests)
    rux_target_warnings(${name})
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120
                         PROPERTIES ENVIRONMENT "RUX_TEST_DATA=${PROJECT_SOURCE_DIR}/Tests/Data")
endfunction()
