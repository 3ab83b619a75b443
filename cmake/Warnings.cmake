# Warnings for our own targets only; third-party headers come in as system includes.
function(rux_target_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# What every library of ours shares: C++20, warnings, a RUX-prefixed file name (libRUXGraphics.a, not a
# bare libGraphics.a beside other packages' libraries), a SONAME from the project version when shared,
# hidden visibility for all that the public headers do not mark RUX_API, and the name it has in the
# package (RUXImageEditor::EXPORT_NAME), also as an alias in the build tree.
function(rux_library_properties target export_name output_name)
    target_compile_features(${target} PUBLIC cxx_std_20)
    rux_target_warnings(${target})
    if(PROJECT_VERSION_MAJOR EQUAL 0)
        # Before 1.0 every minor version may break the binary interface.
        set(soversion ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})
    else()
        set(soversion ${PROJECT_VERSION_MAJOR})
    endif()
    set_target_properties(${target} PROPERTIES
        OUTPUT_NAME ${output_name}
        EXPORT_NAME ${export_name}
        VERSION ${PROJECT_VERSION}
        SOVERSION ${soversion}
        CXX_VISIBILITY_PRESET hidden
        C_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON
        POSITION_INDEPENDENT_CODE ON
        # RUX_API does not depend on it; without it a shared build compiles exactly what a static
        # one does, and the two share objects through a compiler cache.
        DEFINE_SYMBOL ""
        # Installed side by side: each shared library finds the others beside itself.
        INSTALL_RPATH "$ORIGIN")
    add_library(RUXImageEditor::${export_name} ALIAS ${target})
    set_property(GLOBAL APPEND PROPERTY RUX_INSTALLED_TARGETS ${target})
    rux_unity_library(${target})
endfunction()

# Unity builds of our libraries and programs: their sources compiled a few to a translation unit, so
# that the standard library's and the layers' headers are parsed once a batch rather than once a
# file. The sanitizer presets and the test command turn it on, since CI builds everything from
# scratch; a release build configured by hand keeps a unit per file, which rebuilds least after an
# edit. The vector kernels stay alone: each of them is compiled once per instruction set by including
# itself again, which a unit cannot hold.
option(RUX_UNITY_LIBRARIES "Compile our libraries and programs a few files to a unit" OFF)
set(RUX_UNITY_LIBRARY_BATCH 8 CACHE STRING "Source files a unit when RUX_UNITY_LIBRARIES is on")
function(rux_unity_library target)
    if(NOT RUX_UNITY_LIBRARIES)
        return()
    endif()
    get_target_property(sources ${target} SOURCES)
    get_target_property(source_dir ${target} SOURCE_DIR)
    foreach(source IN LISTS sources)
        cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${source_dir} OUTPUT_VARIABLE path)
        if(NOT path MATCHES "\\.(cpp|cc|c)$" OR NOT EXISTS ${path})
            continue()
        endif()
        file(STRINGS ${path} per_target REGEX "hwy/foreach_target\\.h" LIMIT_COUNT 1)
        if(per_target)
            set_source_files_properties(${path} TARGET_DIRECTORY ${target}
                                        PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
        endif()
    endforeach()
    set_target_properties(${target} PROPERTIES UNITY_BUILD ON
                                               UNITY_BUILD_BATCH_SIZE ${RUX_UNITY_LIBRARY_BATCH})
    # A type in a file's anonymous namespace is fine on its own; included into a unit, gcc takes it
    # for one declared in a header.
    target_compile_options(${target} PRIVATE -Wno-subobject-linkage)
endfunction()

# A layer of ours: its public headers under include/<Layer>/ (installed under
# include/RUXImageEditor/), its private ones in src/ (never installed, never reachable from outside).
function(rux_library target)
    cmake_parse_arguments(ARG "" "EXPORT_NAME" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
    if(NOT ARG_EXPORT_NAME)
        set(ARG_EXPORT_NAME ${target})
    endif()
    add_library(${target} ${ARG_SOURCES})
    target_include_directories(${target}
        PUBLIC $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}/include>
               $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/RUXImageEditor>
        PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)
    target_link_libraries(${target} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
    rux_library_properties(${target} ${ARG_EXPORT_NAME} RUX${target})
    set_property(GLOBAL APPEND PROPERTY RUX_INSTALLED_HEADER_DIRS ${CMAKE_CURRENT_SOURCE_DIR}/include)
endfunction()
