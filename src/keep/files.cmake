# Files of the kept copies behind Put back: what a drive held before a write,
# kept per medium, found again for the drive chosen.
list(APPEND TDW_PORTABLE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/kept_copy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/kept_store.cpp
  ${CMAKE_CURRENT_LIST_DIR}/keep_step.cpp
  ${CMAKE_CURRENT_LIST_DIR}/medium_mix.cpp
  ${CMAKE_CURRENT_LIST_DIR}/folder_trust.cpp
  ${CMAKE_CURRENT_LIST_DIR}/put_back_choice.cpp
  ${CMAKE_CURRENT_LIST_DIR}/volume_label.cpp)
list(APPEND TDW_WIN32_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/kept_files_win32.cpp
  ${CMAKE_CURRENT_LIST_DIR}/folder_security_win32.cpp
  ${CMAKE_CURRENT_LIST_DIR}/drive_copies.cpp)
