# Files of the text catalogue subsystem.
list(APPEND TDW_PORTABLE_SOURCES ${CMAKE_CURRENT_LIST_DIR}/catalogue.cpp ${CMAKE_CURRENT_LIST_DIR}/copy_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/number_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/utf8_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/packed_texts.cpp)
list(APPEND TDW_TOOL_SOURCES ${CMAKE_CURRENT_LIST_DIR}/text_pack.cpp)
list(APPEND TDW_WIN32_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/console.cpp
  ${CMAKE_CURRENT_LIST_DIR}/language_bar.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pane_texts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/accessible_names.cpp
  ${CMAKE_CURRENT_LIST_DIR}/text_fit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/unicode_text.cpp)
