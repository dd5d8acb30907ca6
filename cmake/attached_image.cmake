# The shipped program: ${TDW_PROGRAM_NAME}-plain.exe with the demo floppy image
# T64DEMO1.IMG attached as a ZIP archive. Both the image and the archive are
# made by host tools of the native build (tools/; cmake/host_tools.cmake).
set(TDW_ATTACH_IMAGE ${TDW_HOST_TOOLS_DIR}/attach-image${CMAKE_HOST_EXECUTABLE_SUFFIX})
set(TDW_MAKE_DEMO_FLOPPY ${TDW_HOST_TOOLS_DIR}/make_demo_floppy${CMAKE_HOST_EXECUTABLE_SUFFIX})

# The image is made again here rather than taken from the native tree; the
# tool writes the same bytes every time. It sits beside the program, which
# the Wine tests use as an external image.
# The 32-bit tree, built at the same time, makes its own copy in its own
# folder, so that neither reads the file while the other writes it.
set(TDW_DEMO_IMAGE ${TDW_WIN_OUTPUT_DIR}/T64DEMO1.IMG)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(TDW_DEMO_IMAGE ${CMAKE_BINARY_DIR}/T64DEMO1.IMG)
endif()
add_custom_command(OUTPUT ${TDW_DEMO_IMAGE}
  COMMAND ${TDW_MAKE_DEMO_FLOPPY} ${TDW_DEMO_IMAGE}
  DEPENDS ${TDW_MAKE_DEMO_FLOPPY}
  COMMENT "Making the demo floppy image T64DEMO1.IMG")

# attach-image writes with plain stdio, so a Unix host gets a file without
# the execute bit; give it back for those who start the program directly.
set(TDW_MARK_EXECUTABLE)
if(CMAKE_HOST_UNIX)
  set(TDW_MARK_EXECUTABLE COMMAND chmod +x ${TDW_WIN_OUTPUT_DIR}/${TDW_PROGRAM_NAME}.exe)
endif()
add_custom_command(OUTPUT ${TDW_WIN_OUTPUT_DIR}/${TDW_PROGRAM_NAME}.exe
  COMMAND ${TDW_ATTACH_IMAGE} $<TARGET_FILE:TalvixDiskWriter-plain> ${TDW_DEMO_IMAGE}
          ${TDW_WIN_OUTPUT_DIR}/${TDW_PROGRAM_NAME}.exe
  ${TDW_MARK_EXECUTABLE}
  DEPENDS TalvixDiskWriter-plain ${TDW_DEMO_IMAGE} ${TDW_ATTACH_IMAGE}
  COMMENT "Attaching T64DEMO1.IMG to ${TDW_PROGRAM_NAME}.exe")
add_custom_target(TalvixDiskWriter ALL DEPENDS ${TDW_WIN_OUTPUT_DIR}/${TDW_PROGRAM_NAME}.exe)
add_dependencies(TalvixDiskWriter tdw_host_tools)
