# Programs that the benchmarks run beside the wizard under Wine.
add_executable(bench-hello ${CMAKE_CURRENT_LIST_DIR}/hello.cpp)
add_executable(bench-hello-dialog ${CMAKE_CURRENT_LIST_DIR}/hello_dialog.cpp ${CMAKE_CURRENT_LIST_DIR}/hello_dialog.rc)
target_link_libraries(bench-hello-dialog PRIVATE
  comctl32 comdlg32 shell32 ole32 uuid cfgmgr32 setupapi advapi32 gdi32 user32 kernel32)
add_executable(bench-probe ${CMAKE_CURRENT_LIST_DIR}/bench_probe.cpp)
target_link_libraries(bench-probe PRIVATE psapi winmm user32 kernel32)
