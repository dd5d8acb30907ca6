# The window verbs that work the wizard from another process: the Wine
# scenarios' driver and the field check are both built on them, and both read
# back what screen readers are given.
add_library(tdw-window-drive STATIC
  ${CMAKE_CURRENT_LIST_DIR}/window_verbs.cpp ${CMAKE_CURRENT_LIST_DIR}/remote_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/accessible_read.cpp)
target_include_directories(tdw-window-drive PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(tdw-window-drive PUBLIC oleacc oleaut32 ole32 comctl32 user32 gdi32 kernel32)
