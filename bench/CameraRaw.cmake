# Camera raw timing (bench/raw.sh): a synthetic 24-megapixel DNG, and its development at a screen's
# size (half size) and at its own size (full demosaic), each in a process of its own so that peak
# memory is the development's.
add_executable(raw-bench ${CMAKE_CURRENT_LIST_DIR}/RawBench.cpp)
target_include_directories(raw-bench PRIVATE ${PROJECT_SOURCE_DIR}/Tests)
target_link_libraries(raw-bench PRIVATE Graphics)
rux_target_warnings(raw-bench)
