# Files of the wizard shell subsystem.
list(APPEND TDW_WIN32_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/runtime_overrides.cpp
  ${CMAKE_CURRENT_LIST_DIR}/app_state.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ui_thread.cpp
  ${CMAKE_CURRENT_LIST_DIR}/app_hooks.cpp
  ${CMAKE_CURRENT_LIST_DIR}/main_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/heap_report.cpp
  ${CMAKE_CURRENT_LIST_DIR}/session_end.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pane_list.cpp
  ${CMAKE_CURRENT_LIST_DIR}/panes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/display.cpp
  ${CMAKE_CURRENT_LIST_DIR}/taskbar.cpp
  ${CMAKE_CURRENT_LIST_DIR}/unicode_control.cpp)
list(APPEND TDW_PORTABLE_SOURCES ${CMAKE_CURRENT_LIST_DIR}/look.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ui_queue.cpp)
