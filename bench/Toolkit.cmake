add_executable(ToolkitBenchmarks ${CMAKE_CURRENT_LIST_DIR}/ToolkitBenchmarks.cpp)
target_link_libraries(ToolkitBenchmarks PRIVATE Toolkit benchmark::benchmark benchmark::benchmark_main)
rux_target_warnings(ToolkitBenchmarks)
