# rux-render: the editing core driven from the command line, without screens. Its command line, edits
# and output are a library of their own, which the Python module links too, so that both read the
# same flags and write the same files.
add_library(RUXRenderTool STATIC ${CMAKE_CURRENT_LIST_DIR}/RenderTool/Batch.cpp
                                 ${CMAKE_CURRENT_LIST_DIR}/RenderTool/BatchRecord.cpp
                                 ${CMAKE_CURRENT_LIST_DIR}/RenderTool/Output.cpp
                                 ${CMAKE_CURRENT_LIST_DIR}/RenderTool/Options.cpp
                                 ${CMAKE_CURRENT_LIST_DIR}/Common/RecipeFile.cpp)
target_include_directories(RUXRenderTool PUBLIC ${CMAKE_CURRENT_LIST_DIR}/RenderTool ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(RUXRenderTool PUBLIC RUXImageEditorCore)
# The batch report's JSON lines.
target_link_libraries(RUXRenderTool PRIVATE nlohmann_json::nlohmann_json)
set_target_properties(RUXRenderTool PROPERTIES POSITION_INDEPENDENT_CODE ON)
rux_target_warnings(RUXRenderTool)
rux_unity_library(RUXRenderTool)

rux_add_editor_program(rux-render ${CMAKE_CURRENT_LIST_DIR}/RenderTool/main.cpp RUXRenderTool)
