# rux-soak: thousands of random touches over the editor on the headless host, checking the edit
# list and the history after every touch and reporting memory. Run by scripts/soak.sh, not by CI.
if(TARGET RUXEditorHost)
    add_executable(rux-soak ${CMAKE_CURRENT_LIST_DIR}/Soak/main.cpp)
    target_link_libraries(rux-soak PRIVATE RUXEditorHost)
    target_compile_definitions(rux-soak PRIVATE RUX_SOURCE_RESOURCES_DIR="${CMAKE_SOURCE_DIR}/Resources")
    rux_target_warnings(rux-soak)
endif()
