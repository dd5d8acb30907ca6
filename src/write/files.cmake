# Files of the write path: which device a letter leads to, whether it may be
# written, its volumes taken, the image written and read back.
list(APPEND TDW_PORTABLE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/write_loop.cpp
  ${CMAKE_CURRENT_LIST_DIR}/disk_answers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/write_target.cpp
  ${CMAKE_CURRENT_LIST_DIR}/volume_prep.cpp
  ${CMAKE_CURRENT_LIST_DIR}/target_identity.cpp
  ${CMAKE_CURRENT_LIST_DIR}/raw_write.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pass_progress.cpp
  ${CMAKE_CURRENT_LIST_DIR}/diskette_layout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bad_spot.cpp
  ${CMAKE_CURRENT_LIST_DIR}/disk_descriptor.cpp
  ${CMAKE_CURRENT_LIST_DIR}/page_files.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gpt_backup.cpp
  ${CMAKE_CURRENT_LIST_DIR}/medium_mark.cpp
  ${CMAKE_CURRENT_LIST_DIR}/write_errors.cpp)
list(APPEND TDW_WIN32_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/storage_win32.cpp)
