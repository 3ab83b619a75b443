add_executable(ImageEngineBenchmarks ${CMAKE_CURRENT_LIST_DIR}/ImageEngineBenchmarks.cpp)
target_link_libraries(ImageEngineBenchmarks PRIVATE ImageEngine benchmark::benchmark benchmark::benchmark_main)
rux_target_warnings(ImageEngineBenchmarks)
rux_bench_instruction_set(ImageEngineBenchmarks)

# The same chain through OpenCV and libvips, for comparison, when they are installed
# (scripts/install-bench-deps.sh); the build never needs them.
find_package(OpenCV QUIET COMPONENTS core imgproc)
if(OpenCV_FOUND)
    target_sources(ImageEngineBenchmarks PRIVATE ${CMAKE_CURRENT_LIST_DIR}/ImageEngineOpenCvBenchmarks.cpp)
    target_link_libraries(ImageEngineBenchmarks PRIVATE opencv_core opencv_imgproc)
endif()
pkg_check_modules(RUX_BENCH_VIPS QUIET IMPORTED_TARGET vips-cpp)
if(RUX_BENCH_VIPS_FOUND)
    target_sources(ImageEngineBenchmarks PRIVATE ${CMAKE_CURRENT_LIST_DIR}/ImageEngineVipsBenchmarks.cpp)
    target_link_libraries(ImageEngineBenchmarks PRIVATE PkgConfig::RUX_BENCH_VIPS)
endif()
message(STATUS "ImageEngine comparison benchmarks: OpenCV ${OpenCV_FOUND}, libvips ${RUX_BENCH_VIPS_FOUND}")
