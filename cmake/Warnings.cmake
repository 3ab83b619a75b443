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
