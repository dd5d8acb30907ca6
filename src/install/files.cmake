# Files of the Install pane: its checks, the choice of target, the writer that
# runs a write or Put back, and the Reboot pane.
list(APPEND TDW_PORTABLE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/source_check.cpp
  ${CMAKE_CURRENT_LIST_DIR}/target_choice.cpp
  ${CMAKE_CURRENT_LIST_DIR}/restart_request.cpp
  ${CMAKE_CURRENT_LIST_DIR}/firmware_mode.cpp)
list(APPEND TDW_WIN32_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/checks.cpp
  ${CMAKE_CURRENT_LIST_DIR}/external_source.cpp
  ${CMAKE_CURRENT_LIST_DIR}/install_pane.cpp
  ${CMAKE_CURRENT_LIST_DIR}/chosen_target.cpp
  ${CMAKE_CURRENT_LIST_DIR}/writer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/keep_questions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/disk_words.cpp
  ${CMAKE_CURRENT_LIST_DIR}/failure_line.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fixed_disk_ask.cpp
  ${CMAKE_CURRENT_LIST_DIR}/copy_chooser.cpp
  ${CMAKE_CURRENT_LIST_DIR}/reboot_pane.cpp)
