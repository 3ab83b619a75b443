# toolkit-demo: the UI toolkit's demo screen, in the window host or replayed by the headless host.
add_executable(toolkit-demo ${CMAKE_CURRENT_LIST_DIR}/ToolkitDemo/main.cpp
                            ${CMAKE_CURRENT_LIST_DIR}/ToolkitDemo/DemoScreens.cpp)
target_link_libraries(toolkit-demo PRIVATE HeadlessHost Toolkit Graphics Foundation)
if(RUX_BUILD_WINDOW_HOST)
    target_link_libraries(toolkit-demo PRIVATE WindowHost)
    target_compile_definitions(toolkit-demo PRIVATE RUX_HAVE_WINDOW_HOST=1)
else()
    target_compile_definitions(toolkit-demo PRIVATE RUX_HAVE_WINDOW_HOST=0)
endif()
rux_target_warnings(toolkit-demo)
