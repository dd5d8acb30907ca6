# Files of the installation subsystem.
list(APPEND TDW_PORTABLE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/progress_log.cpp
  ${CMAKE_CURRENT_LIST_DIR}/source_check.cpp
  ${CMAKE_CURRENT_LIST_DIR}/status_report.cpp
  ${CMAKE_CURRENT_LIST_DIR}/status_rows.cpp)
list(APPEND TDW_WIN32_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/status_list.cpp
  ${CMAKE_CURRENT_LIST_DIR}/status_focus.cpp
  ${CMAKE_CURRENT_LIST_DIR}/status_copy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/checks.cpp
  ${CMAKE_CURRENT_LIST_DIR}/install_pane.cpp
  ${CMAKE_CURRENT_LIST_DIR}/storage_win32.cpp
  ${CMAKE_CURRENT_LIST_DIR}/kept_files_win32.cpp
  ${CMAKE_CURRENT_LIST_DIR}/drive_copies.cpp
  ${CMAKE_CURRENT_LIST_DIR}/chosen_target.cpp
  ${CMAKE_CURRENT_LIST_DIR}/writer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/reboot_pane.cpp)
list(APPEND TDW_PORTABLE_SOURCES ${CMAKE_CURRENT_LIST_DIR}/write_loop.cpp ${CMAKE_CURRENT_LIST_DIR}/write_target.cpp)
list(APPEND TDW_PORTABLE_SOURCES ${CMAKE_CURRENT_LIST_DIR}/volume_prep.cpp
  ${CMAKE_CURRENT_LIST_DIR}/target_identity.cpp ${CMAKE_CURRENT_LIST_DIR}/raw_write.cpp
  ${CMAKE_CURRENT_LIST_DIR}/target_choice.cpp
  ${CMAKE_CURRENT_LIST_DIR}/disk_descriptor.cpp ${CMAKE_CURRENT_LIST_DIR}/page_files.cpp
  ${CMAKE_CURRENT_LIST_DIR}/kept_copy.cpp ${CMAKE_CURRENT_LIST_DIR}/kept_store.cpp
  ${CMAKE_CURRENT_LIST_DIR}/restart_request.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gpt_backup.cpp ${CMAKE_CURRENT_LIST_DIR}/keep_step.cpp)
list(APPEND TDW_PORTABLE_SOURCES ${CMAKE_CURRENT_LIST_DIR}/write_errors.cpp)
