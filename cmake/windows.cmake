# Windows build: the program itself, cross-compiled with mingw-w64, and the
# tests that run it under Wine.
enable_language(RC)
include(CTest)

set(TDW_WIN_OUTPUT_DIR ${CMAKE_SOURCE_DIR}/build/win CACHE PATH "Where the Windows programs go")
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${TDW_WIN_OUTPUT_DIR})

# One self-contained .exe: no MinGW DLLs beside it.
add_link_options(-static -static-libgcc -static-libstdc++)
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00 WINVER=0x0A00)

find_library(TDW_ZLIB NAMES libz.a z REQUIRED)

add_executable(TalvixDiskWriter-plain
  ${TDW_WIN32_SOURCES} ${TDW_PORTABLE_SOURCES}
  ${CMAKE_SOURCE_DIR}/src/resources/app.rc)
target_include_directories(TalvixDiskWriter-plain PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/src/resources)
target_link_libraries(TalvixDiskWriter-plain PRIVATE
  ${TDW_ZLIB} comctl32 comdlg32 shell32 ole32 oleaut32 uuid cfgmgr32 setupapi gdi32 user32 kernel32)
file(GLOB TDW_RESOURCE_INPUTS CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/src/resources/*.rc ${CMAKE_SOURCE_DIR}/src/resources/*.h
  ${CMAKE_SOURCE_DIR}/src/resources/*.manifest ${CMAKE_SOURCE_DIR}/src/resources/icons/*.ico)
set_source_files_properties(${CMAKE_SOURCE_DIR}/src/resources/app.rc PROPERTIES
  OBJECT_DEPENDS "${TDW_RESOURCE_INPUTS}")

# The shipped program: the plain program with the demo image attached (see
# cmake/attached_image.cmake when present; until then a plain copy).
if(EXISTS ${CMAKE_SOURCE_DIR}/cmake/attached_image.cmake)
  include(${CMAKE_SOURCE_DIR}/cmake/attached_image.cmake)
else()
  add_custom_command(OUTPUT ${TDW_WIN_OUTPUT_DIR}/TalvixDiskWriter.exe
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:TalvixDiskWriter-plain> ${TDW_WIN_OUTPUT_DIR}/TalvixDiskWriter.exe
    DEPENDS TalvixDiskWriter-plain)
  add_custom_target(TalvixDiskWriter ALL DEPENDS ${TDW_WIN_OUTPUT_DIR}/TalvixDiskWriter.exe)
endif()

include(${CMAKE_SOURCE_DIR}/bench/bench.cmake)

if(EXISTS ${CMAKE_SOURCE_DIR}/tests/wine/wine.cmake)
  include(${CMAKE_SOURCE_DIR}/tests/wine/wine.cmake)
endif()
