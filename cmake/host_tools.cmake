# The host tools the Windows build runs, all from the native tree's tools
# folder (TDW_HOST_TOOLS_DIR): its target host-tools builds every one.
# Included by the Windows build at configure time, and run as a script
# (cmake -DTDW_HOST_TOOLS_DIR=... -P host_tools.cmake) before anything that
# runs them, so that a tool missing or removed later is named, with the
# command that makes it, rather than met as a make rule error.
set(TDW_HOST_TOOLS pack-texts attach-image make_demo_floppy check-imports)
string(CONCAT _tdw_make_tools
  "cmake -S . -B build/native && cmake --build build/native --target host-tools; "
  "then configure this build with -DTDW_HOST_TOOLS_DIR=<absolute path to build/native/tools>")
if(NOT TDW_HOST_TOOLS_DIR)
  message(FATAL_ERROR "TDW_HOST_TOOLS_DIR is not set. The Windows build runs host tools "
    "(${TDW_HOST_TOOLS}) of the native build. Build them: ${_tdw_make_tools}.")
endif()
set(_tdw_missing)
foreach(_tdw_tool IN LISTS TDW_HOST_TOOLS)
  if(NOT EXISTS ${TDW_HOST_TOOLS_DIR}/${_tdw_tool}${CMAKE_HOST_EXECUTABLE_SUFFIX})
    list(APPEND _tdw_missing ${_tdw_tool})
  endif()
endforeach()
if(_tdw_missing)
  list(JOIN _tdw_missing ", " _tdw_missing)
  message(FATAL_ERROR "Host tool(s) ${_tdw_missing} not found in ${TDW_HOST_TOOLS_DIR}. "
    "Build them: ${_tdw_make_tools}.")
endif()
