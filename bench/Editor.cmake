add_executable(EditorBenchmarks ${CMAKE_CURRENT_LIST_DIR}/EditorBenchmarks.cpp)
target_link_libraries(EditorBenchmarks PRIVATE RUXImageEditorCore benchmark::benchmark benchmark::benchmark_main)
rux_target_warnings(EditorBenchmarks)
rux_bench_instruction_set(EditorBenchmarks)
target_compile_definitions(EditorBenchmarks PRIVATE RUX_SOURCE_RESOURCES_DIR="${PROJECT_SOURCE_DIR}/Resources")
# Synthetic photos for the batch benchmark (bench/batch.sh).
add_executable(make-batch-inputs ${CMAKE_CURRENT_LIST_DIR}/MakeBatchInputs.cpp)
target_link_libraries(make-batch-inputs PRIVATE Graphics)
rux_target_warnings(make-batch-inputs)
