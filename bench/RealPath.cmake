# The editor's real render path through the edit manager, with the OpenCV and libvips chains built
# into the same program when they are installed (scripts/install-bench-deps.sh), so that one run
# compares them on the same machine load.
add_executable(RealPathBenchmarks ${CMAKE_CURRENT_LIST_DIR}/RealPathBenchmarks.cpp)
target_link_libraries(RealPathBenchmarks PRIVATE RUXImageEditorCore benchmark::benchmark benchmark::benchmark_main)
rux_target_warnings(RealPathBenchmarks)
rux_bench_instruction_set(RealPathBenchmarks)
target_compile_definitions(RealPathBenchmarks PRIVATE RUX_SOURCE_RESOURCES_DIR="${PROJECT_SOURCE_DIR}/Resources")
find_package(OpenCV QUIET COMPONENTS core imgproc)
if(OpenCV_FOUND)
    target_sources(RealPathBenchmarks PRIVATE ${CMAKE_CURRENT_LIST_DIR}/ImageEngineOpenCvBenchmarks.cpp)
    target_link_libraries(RealPathBenchmarks PRIVATE opencv_core opencv_imgproc)
endif()
pkg_check_modules(RUX_REAL_PATH_VIPS QUIET IMPORTED_TARGET vips-cpp)
if(RUX_REAL_PATH_VIPS_FOUND)
    target_sources(RealPathBenchmarks PRIVATE ${CMAKE_CURRENT_LIST_DIR}/ImageEngineVipsBenchmarks.cpp)
    target_link_libraries(RealPathBenchmarks PRIVATE PkgConfig::RUX_REAL_PATH_VIPS)
endif()
