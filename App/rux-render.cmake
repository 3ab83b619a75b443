# rux-render: the editing core driven from the command line, without screens.
rux_add_editor_program(rux-render ${CMAKE_CURRENT_LIST_DIR}/RenderTool/main.cpp RUXImageEditorCore)
target_sources(rux-render PRIVATE ${CMAKE_CURRENT_LIST_DIR}/RenderTool/Batch.cpp
                                  ${CMAKE_CURRENT_LIST_DIR}/RenderTool/BatchRecord.cpp
                                  ${CMAKE_CURRENT_LIST_DIR}/RenderTool/Output.cpp
                                  ${CMAKE_CURRENT_LIST_DIR}/RenderTool/Options.cpp
                                  ${CMAKE_CURRENT_LIST_DIR}/Common/RecipeFile.cpp)
target_include_directories(rux-render PRIVATE ${CMAKE_CURRENT_LIST_DIR})
# The batch report's JSON lines.
target_link_libraries(rux-render PRIVATE nlohmann_json::nlohmann_json)
