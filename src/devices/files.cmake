# Files of the target devices subsystem.
list(APPEND TDW_PORTABLE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/device_path.cpp
  ${CMAKE_CURRENT_LIST_DIR}/drive_kind.cpp
  ${CMAKE_CURRENT_LIST_DIR}/media_type.cpp
  ${CMAKE_CURRENT_LIST_DIR}/usb_restart_plan.cpp)
list(APPEND TDW_WIN32_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/drive_list.cpp
  ${CMAKE_CURRENT_LIST_DIR}/floppy_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/target_pane.cpp
  ${CMAKE_CURRENT_LIST_DIR}/usb_restart.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wow64.cpp)
