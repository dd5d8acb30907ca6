# Files of the source subsystem.
list(APPEND TDW_PORTABLE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/archive_image.cpp
  ${CMAKE_CURRENT_LIST_DIR}/checksums.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_names.cpp
  ${CMAKE_CURRENT_LIST_DIR}/image_checks.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pe_overlay.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sha256.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sha256_blocks.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sha256_x86.cpp
  ${CMAKE_CURRENT_LIST_DIR}/temp_paths.cpp
  ${CMAKE_CURRENT_LIST_DIR}/zip_reader.cpp)
# Only the host tools make archives: the program never links a compressor.
list(APPEND TDW_TOOL_SOURCES ${CMAKE_CURRENT_LIST_DIR}/zip_writer.cpp)
list(APPEND TDW_WIN32_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/chooser_pane.cpp
  ${CMAKE_CURRENT_LIST_DIR}/external_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_io.cpp
  ${CMAKE_CURRENT_LIST_DIR}/image_digest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/loader_outcome.cpp
  ${CMAKE_CURRENT_LIST_DIR}/loader_thread.cpp
  ${CMAKE_CURRENT_LIST_DIR}/worker_end.cpp
  ${CMAKE_CURRENT_LIST_DIR}/zlib_checksums.cpp)
