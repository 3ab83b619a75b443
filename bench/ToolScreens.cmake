# The tool screens driven by synthetic touches: a slider drag step until its preview is shown.
add_executable(ToolScreenBenchmarks ${CMAKE_CURRENT_LIST_DIR}/ToolScreenBenchmarks.cpp)
target_link_libraries(ToolScreenBenchmarks PRIVATE RUXImageEditor HeadlessHost benchmark::benchmark
                                                   benchmark::benchmark_main)
target_compile_definitions(ToolScreenBenchmarks PRIVATE RUX_SOURCE_RESOURCES_DIR="${PROJECT_SOURCE_DIR}/Resources")
rux_target_warnings(ToolScreenBenchmarks)
rux_bench_instruction_set(ToolScreenBenchmarks)
