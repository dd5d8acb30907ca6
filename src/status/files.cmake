# Files of the Install pane's status list: its lines, their layout in rows,
# the progress log replayed into it, and the report that Copy makes of it.
list(APPEND TDW_PORTABLE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/progress_log.cpp
  ${CMAKE_CURRENT_LIST_DIR}/status_report.cpp
  ${CMAKE_CURRENT_LIST_DIR}/spoken_lines.cpp
  ${CMAKE_CURRENT_LIST_DIR}/status_rows.cpp
  ${CMAKE_CURRENT_LIST_DIR}/line_moves.cpp
  ${CMAKE_CURRENT_LIST_DIR}/line_items.cpp)
list(APPEND TDW_WIN32_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/status_list.cpp
  ${CMAKE_CURRENT_LIST_DIR}/status_heap.cpp
  ${CMAKE_CURRENT_LIST_DIR}/status_draw.cpp
  ${CMAKE_CURRENT_LIST_DIR}/status_replay.cpp
  ${CMAKE_CURRENT_LIST_DIR}/status_focus.cpp
  ${CMAKE_CURRENT_LIST_DIR}/status_copy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/status_keys.cpp
  ${CMAKE_CURRENT_LIST_DIR}/status_accessible.cpp)
