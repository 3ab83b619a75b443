# rux-editor: the host application. Opens the editor on a photo in an SDL2 window, or replays a
# touch script on the headless host.
add_library(RUXEditorHost STATIC ${CMAKE_CURRENT_LIST_DIR}/Editor/EditorHost.cpp
                          ${CMAKE_CURRENT_LIST_DIR}/Editor/EditorInput.cpp
                          ${CMAKE_CURRENT_LIST_DIR}/Editor/EditorRecipe.cpp
                          ${CMAKE_CURRENT_LIST_DIR}/Editor/EditorJournal.cpp
                          ${CMAKE_CURRENT_LIST_DIR}/Editor/EditorConfiguration.cpp
                          ${CMAKE_CURRENT_LIST_DIR}/Common/RecipeFile.cpp)
target_include_directories(RUXEditorHost PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(RUXEditorHost PUBLIC RUXImageEditor HeadlessHost)
rux_target_warnings(RUXEditorHost)
rux_unity_library(RUXEditorHost)

rux_add_editor_program(rux-editor ${CMAKE_CURRENT_LIST_DIR}/Editor/main.cpp RUXEditorHost)
if(RUX_BUILD_WINDOW_HOST)
    target_link_libraries(rux-editor PRIVATE WindowHost)
    target_compile_definitions(rux-editor PRIVATE RUX_HAS_WINDOW_HOST=1)
endif()
