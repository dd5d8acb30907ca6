# Files of the source subsystem.
list(APPEND TDW_PORTABLE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/image_checks.cpp
  ${CMAKE_CURRENT_LIST_DIR}/zip_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/zip_writer.cpp)
