# The field check's decisions, apart from Windows: built into the check and,
# natively, into the unit tests.
set(TDW_FIELD_RULES_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/field_verdict.cpp ${CMAKE_CURRENT_LIST_DIR}/report_privacy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/program_choice.cpp ${CMAKE_CURRENT_LIST_DIR}/field_report.cpp)
