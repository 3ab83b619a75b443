# rux-render: the editing core driven from the command line, without screens.
rux_add_editor_program(rux-render ${CMAKE_CURRENT_LIST_DIR}/RenderTool/main.cpp RUXImageEditorCore)
