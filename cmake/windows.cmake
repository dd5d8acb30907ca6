# Windows build: the program itself, cross-compiled with mingw-w64, and the
# tests that run it under Wine.
enable_language(RC)
include(CTest)

set(TDW_WIN_OUTPUT_DIR ${CMAKE_SOURCE_DIR}/build/win CACHE PATH "Where the Windows programs go")

# The host tools this build runs must be there now, and are looked for again
# before the first step that runs one.
include(${CMAKE_SOURCE_DIR}/cmake/host_tools.cmake)
add_custom_target(tdw_host_tools
  COMMAND ${CMAKE_COMMAND} -DTDW_HOST_TOOLS_DIR=${TDW_HOST_TOOLS_DIR}
          -DCMAKE_HOST_EXECUTABLE_SUFFIX=${CMAKE_HOST_EXECUTABLE_SUFFIX}
          -P ${CMAKE_SOURCE_DIR}/cmake/host_tools.cmake)
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${TDW_WIN_OUTPUT_DIR})

# The same program for two kinds of Windows: TalvixDiskWriter.exe for 64-bit
# Windows, TalvixDiskWriter32.exe for 32-bit Windows (x86). A 64-bit build
# makes the 32-bit program too, in a tree of its own below (x86/); the
# targets keep their names in both trees, only the files differ.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(TDW_PROGRAM_NAME TalvixDiskWriter32)
else()
  set(TDW_PROGRAM_NAME TalvixDiskWriter)
endif()

# One self-contained .exe: no MinGW DLLs beside it.
add_link_options(-static -static-libgcc -static-libstdc++)

# The same commit builds to the same bytes in any folder: no link time in the
# PE header, and source and build paths (in debug information, __FILE__)
# written relative. reproducible_build below checks it.
add_link_options(-Wl,--no-insert-timestamp)
add_compile_options(
  "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.>"
  "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}=build>")
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00 WINVER=0x0A00)

find_library(TDW_ZLIB NAMES libz.a z REQUIRED)

# The program's objects, linked twice: once stripped, as shipped, and once
# with its symbols, which go to a file beside it for reading crash reports.
# The linker strips; objcopy would stamp the program with the time again.
add_library(tdw_program OBJECT
  ${TDW_WIN32_SOURCES} ${TDW_PORTABLE_SOURCES}
  ${CMAKE_SOURCE_DIR}/src/resources/app.rc)
target_include_directories(tdw_program PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/src/resources)
# Small and lean: the program throws nothing and asks no type of its objects,
# so neither the runtime's unwinding machinery nor type names come along; the
# linker drops the functions nothing calls, and -Os keeps the rest small (the
# writer waits on the drive, never on the processor). No -fdata-sections: with
# it mingw-w64 gives every zeroed variable a section of its own in .data,
# stored in the file, instead of .bss.
target_compile_options(tdw_program PRIVATE
  $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti> -ffunction-sections -Os)
# Both programs are optimised for size across the whole program at link
# time. The 32-bit program is for old PCs, often with little room: nothing in
# it unwinds (32-bit Windows reads no unwind tables of ours) and it keeps no
# frame pointer (its symbols file still tells a crash's stack). The 64-bit
# program keeps its unwind tables: 64-bit Windows walks a crash's stack with
# them. The whole program is optimised as one unit (one partition): split,
# each part kept its own copy of every string literal and inline helper the
# parts share.
target_compile_options(tdw_program PRIVATE -Oz -flto)
set(TDW_PROGRAM_LINK_OPTIONS -Oz -flto -flto-partition=one)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  target_compile_options(tdw_program PRIVATE -fno-asynchronous-unwind-tables -fno-unwind-tables -fomit-frame-pointer)
endif()
set(TDW_PROGRAM_LIBRARIES
  ${TDW_ZLIB} comctl32 comdlg32 shell32 ole32 oleaut32 uuid cfgmgr32 setupapi advapi32 gdi32 user32 kernel32)

add_executable(TalvixDiskWriter-plain $<TARGET_OBJECTS:tdw_program>)
set_target_properties(TalvixDiskWriter-plain PROPERTIES OUTPUT_NAME ${TDW_PROGRAM_NAME}-plain)
target_link_options(TalvixDiskWriter-plain PRIVATE -Wl,--gc-sections -s ${TDW_PROGRAM_LINK_OPTIONS})
target_link_libraries(TalvixDiskWriter-plain PRIVATE ${TDW_PROGRAM_LIBRARIES})

add_executable(TalvixDiskWriter-symbols $<TARGET_OBJECTS:tdw_program>)
target_link_options(TalvixDiskWriter-symbols PRIVATE -Wl,--gc-sections ${TDW_PROGRAM_LINK_OPTIONS})
target_link_libraries(TalvixDiskWriter-symbols PRIVATE ${TDW_PROGRAM_LIBRARIES})
set_target_properties(TalvixDiskWriter-symbols PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
add_custom_command(TARGET TalvixDiskWriter-symbols POST_BUILD
  COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:TalvixDiskWriter-symbols>
          ${TDW_WIN_OUTPUT_DIR}/${TDW_PROGRAM_NAME}.debug
  COMMENT "Keeping the program's symbols in ${TDW_PROGRAM_NAME}.debug")
add_dependencies(TalvixDiskWriter-plain TalvixDiskWriter-symbols)
file(GLOB TDW_RESOURCE_INPUTS CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/src/resources/*.rc ${CMAKE_SOURCE_DIR}/src/resources/*.h
  ${CMAKE_SOURCE_DIR}/src/resources/*.manifest ${CMAKE_SOURCE_DIR}/src/resources/icons/*.ico)

# The catalogue travels deflated: the string tables are compiled on their
# own and packed into texts.bin, which app.rc carries as one resource.
set(TDW_PACK_TEXTS ${TDW_HOST_TOOLS_DIR}/pack-texts${CMAKE_HOST_EXECUTABLE_SUFFIX})
set(TDW_TEXTS_RES ${CMAKE_CURRENT_BINARY_DIR}/texts.res)
set(TDW_TEXTS_BIN ${CMAKE_CURRENT_BINARY_DIR}/texts.bin)
add_custom_command(OUTPUT ${TDW_TEXTS_BIN}
  COMMAND ${CMAKE_RC_COMPILER} -O res -I ${CMAKE_SOURCE_DIR}/src/resources
          ${CMAKE_SOURCE_DIR}/src/resources/texts.rc ${TDW_TEXTS_RES}
  COMMAND ${TDW_PACK_TEXTS} ${TDW_TEXTS_RES} ${TDW_TEXTS_BIN}
  DEPENDS ${TDW_RESOURCE_INPUTS} ${TDW_PACK_TEXTS}
  COMMENT "Packing the catalogue's string tables")
add_custom_target(tdw_texts DEPENDS ${TDW_TEXTS_BIN})
add_dependencies(tdw_texts tdw_host_tools)
add_dependencies(tdw_program tdw_texts)
target_include_directories(tdw_program PRIVATE ${CMAKE_CURRENT_BINARY_DIR})
set_source_files_properties(${CMAKE_SOURCE_DIR}/src/resources/app.rc PROPERTIES
  OBJECT_DEPENDS "${TDW_RESOURCE_INPUTS};${TDW_TEXTS_BIN}")

# The shipped program: the plain program with the demo image attached (see
# cmake/attached_image.cmake when present; until then a plain copy).
if(EXISTS ${CMAKE_SOURCE_DIR}/cmake/attached_image.cmake)
  include(${CMAKE_SOURCE_DIR}/cmake/attached_image.cmake)
else()
  add_custom_command(OUTPUT ${TDW_WIN_OUTPUT_DIR}/${TDW_PROGRAM_NAME}.exe
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:TalvixDiskWriter-plain> ${TDW_WIN_OUTPUT_DIR}/${TDW_PROGRAM_NAME}.exe
    DEPENDS TalvixDiskWriter-plain)
  add_custom_target(TalvixDiskWriter ALL DEPENDS ${TDW_WIN_OUTPUT_DIR}/${TDW_PROGRAM_NAME}.exe)
endif()

# The field check goes beside the program in both widths.
include(${CMAKE_SOURCE_DIR}/tools/window_drive/window_drive.cmake)
include(${CMAKE_SOURCE_DIR}/tools/field_check/field_check.cmake)

# The 32-bit tree makes its programs and nothing else: the driver, the
# benchmarks and the tests are the 64-bit tree's.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  return()
endif()

# The 32-bit program, from the same sources with Debian's i686 toolchain. It
# is built every time this tree is (its own build decides what is stale, and
# makes only the programs); TalvixDiskWriter32 is the target that makes it.
include(ExternalProject)
ExternalProject_Add(TalvixDiskWriter32
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${CMAKE_BINARY_DIR}/x86
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-w64-i686.cmake
    -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
    -DTDW_HOST_TOOLS_DIR=${TDW_HOST_TOOLS_DIR}
    -DTDW_WIN_OUTPUT_DIR=${TDW_WIN_OUTPUT_DIR}
  BUILD_ALWAYS TRUE
  INSTALL_COMMAND ""
  USES_TERMINAL_BUILD FALSE)

include(${CMAKE_SOURCE_DIR}/bench/bench.cmake)

# A second build of both programs, plain and with the image attached, from a
# copy of the sources in another folder, must give the same bytes as this one.
find_program(TDW_REPRO_BASH bash)
if(TDW_REPRO_BASH)
  add_test(NAME reproducible_build
    COMMAND ${TDW_REPRO_BASH} ${CMAKE_SOURCE_DIR}/tests/reproducible/second_build.sh
            ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR} ${TDW_WIN_OUTPUT_DIR}
            ${CMAKE_BINARY_DIR}/reproducible
            -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE} -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
            -DTDW_HOST_TOOLS_DIR=${TDW_HOST_TOOLS_DIR})
  # It and windows7_imports bring this tree up to date (ctest does not): after
  # wine.build, where there is one, and one at a time, beside the Wine scenarios.
  set_tests_properties(reproducible_build PROPERTIES
    FIXTURES_REQUIRED tdw_wine_build RESOURCE_LOCK tdw_tree TIMEOUT 1200 COST 170)

  # Windows 7 SP1 must be able to start both programs: no static import that
  # only later Windows has (tools/check_imports.cpp holds the list).
  add_test(NAME windows7_imports COMMAND ${TDW_REPRO_BASH} -c
    "cmake --build \"$1\" --target TalvixDiskWriter-plain TalvixDiskWriter32 >/dev/null && \"$2\" \"$3\" \"$4\""
    windows7_imports ${CMAKE_BINARY_DIR} ${TDW_HOST_TOOLS_DIR}/check-imports${CMAKE_HOST_EXECUTABLE_SUFFIX}
    $<TARGET_FILE:TalvixDiskWriter-plain> ${TDW_WIN_OUTPUT_DIR}/TalvixDiskWriter32-plain.exe)
  set_tests_properties(windows7_imports PROPERTIES
    FIXTURES_REQUIRED tdw_wine_build RESOURCE_LOCK tdw_tree TIMEOUT 1200)
endif()

if(EXISTS ${CMAKE_SOURCE_DIR}/tests/wine/wine.cmake)
  include(${CMAKE_SOURCE_DIR}/tests/wine/wine.cmake)
endif()
