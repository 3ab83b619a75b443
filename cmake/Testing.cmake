include(GoogleTest)
find_package(GTest REQUIRED)

# Extra compile flags for the code of every test suite. The sanitizer presets compile it
# unoptimised, which takes a third or more off its build time under the sanitizers and costs the
# tests little: the pixel work they check is the libraries', which keep their own flags.
set(RUX_TEST_FLAGS "" CACHE STRING "Compile flags for the code of every test suite")

# How ctest runs a suite: each test in a process of its own (the default, which names every test),
# or in shards, each shard one process running its share of the suite's tests. A process of a
# sanitised build takes a few tenths of a second to start and stop, which over a thousand tests is
# minutes, so the sanitizer presets run shards: as many as the suite has source files, unless it
# says otherwise. Shards take GoogleTest's own filter from GTEST_FILTER.
# Unity builds: each suite's sources compiled a few to a translation unit, so that GoogleTest's and
# the libraries' headers are parsed once a batch rather than once a file. The sanitizer presets,
# which build everything from scratch in CI, and the test command (scripts/test.sh) turn it on.
option(RUX_UNITY_BUILD "Compile the test suites and the editor's own code a few files to a unit" OFF)
set(RUX_UNITY_BATCH 6 CACHE STRING "Source files a unit when RUX_UNITY_BUILD is on")

option(RUX_TEST_SHARDS "Run each test suite in shards rather than a process per test" OFF)

# rux_add_test(NAME SOURCES a.cpp ... LIBS lib ... [SHARDS n] [COST c]): one GoogleTest
# executable, its tests registered with ctest one by one, or as shards (see RUX_TEST_SHARDS). A
# COST starts the suite's tests before those without one, for suites whose tests take long.
function(rux_add_test name)
    cmake_parse_arguments(ARG "" "SHARDS;COST" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    if(RUX_UNITY_BUILD)
        set_target_properties(${name} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE ${RUX_UNITY_BATCH})
        # A fixture in a file's anonymous namespace is fine on its own; included into a unit, gcc
        # takes it for one declared in a header.
        target_compile_options(${name} PRIVATE -Wno-subobject-linkage)
    endif()
    if(RUX_TEST_FLAGS)
        separate_arguments(test_flags UNIX_COMMAND "${RUX_TEST_FLAGS}")
        target_compile_options(${name} PRIVATE ${test_flags})
    endif()
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/Tests)
    rux_target_warnings(${name})
    set(environment "RUX_TEST_DATA=${PROJECT_SOURCE_DIR}/Tests/Data")
    set(cost 0)
    if(ARG_COST)
        set(cost ${ARG_COST})
    endif()
    if(NOT RUX_TEST_SHARDS)
        gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120 PROPERTIES ENVIRONMENT "${environment}" COST ${cost})
        return()
    endif()
    set(shards ${ARG_SHARDS})
    if(NOT shards)
        list(LENGTH ARG_SOURCES shards)
    endif()
    math(EXPR last "${shards} - 1")
    foreach(index RANGE ${last})
        set(test "${name}/shard${index}of${shards}")
        add_test(NAME ${test} COMMAND ${name} --gtest_brief=1 WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
        set_tests_properties(${test} PROPERTIES COST ${cost} ENVIRONMENT
                             "${environment};GTEST_TOTAL_SHARDS=${shards};GTEST_SHARD_INDEX=${index}")
    endforeach()
endfunction()
