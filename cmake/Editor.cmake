# The editor: the core (edit manager, transformations, renderer, configuration, resources; everything
# rux-render needs, without the UI toolkit) and the screens. Sources are picked up by folder so that
# each folder's owner can add files without touching this list.
file(GLOB_RECURSE RUX_EDITOR_CORE_SOURCES CONFIGURE_DEPENDS
     ${PROJECT_SOURCE_DIR}/Manager/*.cpp ${PROJECT_SOURCE_DIR}/Transformation/*.cpp
     ${PROJECT_SOURCE_DIR}/Utility/*.cpp ${PROJECT_SOURCE_DIR}/Configuration/*.cpp)
file(GLOB_RECURSE RUX_EDITOR_VIEW_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/View/*.cpp)
if(NOT RUX_EDITOR_CORE_SOURCES OR NOT RUX_EDITOR_VIEW_SOURCES)
    message(FATAL_ERROR "The editor's sources are missing under ${PROJECT_SOURCE_DIR}")
endif()

# The editor's headers sit in its folders at the top of the tree, beside everything else. A consumer in
# the build tree sees them through a folder of links to those folders alone, so that it reaches
# <Manager/…> but not the layers' src/ folders, the tests or the programs.
function(rux_stage_editor_headers stage)
    file(MAKE_DIRECTORY ${stage})
    foreach(folder ${ARGN})
        if(NOT EXISTS ${stage}/${folder})
            file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${stage}/${folder} SYMBOLIC)
        endif()
    endforeach()
endfunction()
set(RUX_CORE_HEADER_FOLDERS Manager Transformation Utility Configuration)
set(RUX_EDITOR_HEADER_FOLDERS View)
rux_stage_editor_headers(${PROJECT_BINARY_DIR}/include/core ${RUX_CORE_HEADER_FOLDERS})
rux_stage_editor_headers(${PROJECT_BINARY_DIR}/include/editor ${RUX_EDITOR_HEADER_FOLDERS})

# <RUXImageEditor/Version.h>: the version a host was built against.
configure_file(${PROJECT_SOURCE_DIR}/cmake/Version.h.in
               ${PROJECT_BINARY_DIR}/include/generated/RUXImageEditor/Version.h @ONLY)

add_library(RUXImageEditorCore ${RUX_EDITOR_CORE_SOURCES})
target_include_directories(RUXImageEditorCore PUBLIC
    $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/include/core>
    $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/include/generated>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/RUXImageEditor>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
# Recipes are read and written with nlohmann-json; no public header names it.
find_package(nlohmann_json 3 REQUIRED)
# The recipe journal keys photos by the SHA-256 of their bytes, from nettle.
find_package(PkgConfig REQUIRED)
pkg_check_modules(NETTLE REQUIRED IMPORTED_TARGET nettle)
target_link_libraries(RUXImageEditorCore PUBLIC ImageEngine Graphics Foundation
                                         PRIVATE nlohmann_json::nlohmann_json PkgConfig::NETTLE ${CMAKE_DL_LIBS})
rux_library_properties(RUXImageEditorCore Core RUXImageEditorCore)
target_compile_options(RUXImageEditorCore PRIVATE ${rux_editor_flags})
add_dependencies(RUXImageEditorCore RUXResources)
# A host built beside the editor (add_subdirectory, FetchContent) finds the build tree's copy.
target_compile_definitions(RUXImageEditorCore INTERFACE
    $<BUILD_INTERFACE:RUX_IMAGE_EDITOR_RESOURCE_DIR="${RUX_BUILD_RESOURCES_DIR}">)
# The last place the resource search looks: where installing to the configured prefix puts them.
set_property(SOURCE ${PROJECT_SOURCE_DIR}/Utility/RUXResourceLocation.cpp APPEND PROPERTY COMPILE_DEFINITIONS
             RUX_CONFIGURED_RESOURCE_DIR="${CMAKE_INSTALL_FULL_DATADIR}/RUXImageEditor")

add_library(RUXImageEditor ${RUX_EDITOR_VIEW_SOURCES})
target_include_directories(RUXImageEditor PUBLIC
    $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/include/editor>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/RUXImageEditor>)
target_link_libraries(RUXImageEditor PUBLIC RUXImageEditorCore Toolkit)
rux_library_properties(RUXImageEditor Editor RUXImageEditor)
target_compile_options(RUXImageEditor PRIVATE ${rux_editor_flags})
set(RUX_EDITOR_PUBLIC_HEADERS ${PROJECT_SOURCE_DIR}/View/RUXImageEditorViewController.h)
