# rux-soak: thousands of random touches over the editor on the headless host, checking the edit
# list and the history after every touch and reporting memory. Run by scripts/soak.sh; CI runs a short
# run with faults (scripts/soak-faults.sh, see Tests/Durability).
rux_add_editor_program(rux-soak ${CMAKE_CURRENT_LIST_DIR}/Soak/main.cpp RUXEditorHost)
target_sources(rux-soak PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/Soak/Faults.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Soak/HistoryModel.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Soak/ScreenDrivers.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Soak/Soak.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Soak/Statistics.cpp)
if(RUX_SANITIZE_THREAD)
    # Nothing under ThreadSanitizer runs it unless asked (scripts/soak.sh builds it by name).
    set_target_properties(rux-soak PROPERTIES EXCLUDE_FROM_ALL ON)
endif()
