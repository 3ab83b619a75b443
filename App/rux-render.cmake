# rux-render: the editing core driven from the command line, without screens.
if(TARGET RUXImageEditorCore)
    add_executable(rux-render ${CMAKE_CURRENT_LIST_DIR}/RenderTool/main.cpp)
    target_link_libraries(rux-render PRIVATE RUXImageEditorCore)
    target_compile_definitions(rux-render PRIVATE RUX_SOURCE_RESOURCES_DIR="${CMAKE_SOURCE_DIR}/Resources")
    rux_target_warnings(rux-render)
endif()
