# Programs that the benchmarks run beside the wizard under Wine.
add_executable(bench-hello ${CMAKE_CURRENT_LIST_DIR}/hello.cpp)
add_executable(bench-probe ${CMAKE_CURRENT_LIST_DIR}/bench_probe.cpp)
target_link_libraries(bench-probe PRIVATE psapi winmm user32 kernel32)
