# Files of the composition: main() and the one file that wires the rooms together.
list(APPEND TDW_WIN32_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/compose.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_drop.cpp)
