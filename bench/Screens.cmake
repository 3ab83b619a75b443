# The editor's screens: slider preview latency, the look strip's thumbnails, Save and opening.
add_executable(ScreenBenchmarks ${CMAKE_CURRENT_LIST_DIR}/ScreenBenchmarks.cpp)
target_link_libraries(ScreenBenchmarks PRIVATE RUXImageEditor HeadlessHost benchmark::benchmark
                                               benchmark::benchmark_main)
target_compile_definitions(ScreenBenchmarks PRIVATE RUX_SOURCE_RESOURCES_DIR="${PROJECT_SOURCE_DIR}/Resources")
rux_target_warnings(ScreenBenchmarks)
rux_bench_instruction_set(ScreenBenchmarks)
