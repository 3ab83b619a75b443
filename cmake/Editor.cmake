# The editor: the core (everything but the screens) and the screens. Sources are picked up by
# folder so that each folder's owner can add files without touching this list.
file(GLOB_RECURSE RUX_EDITOR_CORE_SOURCES CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/Manager/*.cpp ${CMAKE_SOURCE_DIR}/Transformation/*.cpp
     ${CMAKE_SOURCE_DIR}/Utility/*.cpp ${CMAKE_SOURCE_DIR}/Configuration/*.cpp)
file(GLOB_RECURSE RUX_EDITOR_VIEW_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/View/*.cpp)

if(RUX_EDITOR_CORE_SOURCES)
    add_library(RUXImageEditorCore STATIC ${RUX_EDITOR_CORE_SOURCES})
    target_include_directories(RUXImageEditorCore PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(RUXImageEditorCore PUBLIC Foundation Graphics ImageEngine Toolkit)
    rux_target_warnings(RUXImageEditorCore)
    # Recipes are read and written with nlohmann-json; no public header names it.
    find_package(nlohmann_json 3 REQUIRED)
    target_link_libraries(RUXImageEditorCore PRIVATE nlohmann_json::nlohmann_json)
    # Where the editor's own code bundle (holding "circle") and the resource bundle live in the tree.
    target_compile_definitions(RUXImageEditorCore PRIVATE
        RUX_SOURCE_RESOURCES_DIR="${CMAKE_SOURCE_DIR}/Resources")
endif()

if(RUX_EDITOR_VIEW_SOURCES)
    add_library(RUXImageEditor STATIC ${RUX_EDITOR_VIEW_SOURCES})
    target_link_libraries(RUXImageEditor PUBLIC RUXImageEditorCore Toolkit)
    rux_target_warnings(RUXImageEditor)
endif()
