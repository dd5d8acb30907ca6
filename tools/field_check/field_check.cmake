# field-check.exe, shipped beside the program (field-check32.exe beside the
# 32-bit one): it drives the real wizard on a user's PC with the window verbs
# of tools/window_drive/ and checks the drive with the program's own storage
# calls, checks, archive reader and SHA-256, compiled in from src/.
set(_tdw_fc ${CMAKE_CURRENT_LIST_DIR})
include(${_tdw_fc}/field_rules.cmake)
add_library(field_check_objects OBJECT
  ${_tdw_fc}/field_check.cpp ${_tdw_fc}/drive_facts.cpp ${_tdw_fc}/wizard_run.cpp ${_tdw_fc}/answer_watch.cpp
  ${_tdw_fc}/wizard_boxes.cpp ${_tdw_fc}/wizard_steps.cpp ${_tdw_fc}/known_questions.cpp ${_tdw_fc}/wide_files.cpp ${_tdw_fc}/screen_reader.cpp ${TDW_FIELD_RULES_SOURCES}
  ${_tdw_fc}/attached_image.cpp ${_tdw_fc}/system_facts.cpp ${_tdw_fc}/field_check.rc
  ${CMAKE_SOURCE_DIR}/src/write/raw_write.cpp ${CMAKE_SOURCE_DIR}/src/write/storage_win32.cpp
  ${CMAKE_SOURCE_DIR}/src/write/page_files.cpp ${CMAKE_SOURCE_DIR}/src/write/target_identity.cpp
  ${CMAKE_SOURCE_DIR}/src/write/disk_descriptor.cpp ${CMAKE_SOURCE_DIR}/src/write/disk_answers.cpp
  ${CMAKE_SOURCE_DIR}/src/write/write_target.cpp
  ${CMAKE_SOURCE_DIR}/src/write/write_loop.cpp ${CMAKE_SOURCE_DIR}/src/write/volume_prep.cpp
  ${CMAKE_SOURCE_DIR}/src/write/write_errors.cpp ${CMAKE_SOURCE_DIR}/src/write/gpt_backup.cpp
  ${CMAKE_SOURCE_DIR}/src/write/diskette_layout.cpp ${CMAKE_SOURCE_DIR}/src/write/bad_spot.cpp
  ${CMAKE_SOURCE_DIR}/src/keep/kept_copy.cpp
  ${CMAKE_SOURCE_DIR}/src/devices/device_path.cpp ${CMAKE_SOURCE_DIR}/src/text/console.cpp
  ${CMAKE_SOURCE_DIR}/src/text/packed_texts.cpp ${CMAKE_SOURCE_DIR}/src/text/catalogue.cpp
  ${CMAKE_SOURCE_DIR}/src/source/sha256.cpp ${CMAKE_SOURCE_DIR}/src/source/sha256_blocks.cpp
  ${CMAKE_SOURCE_DIR}/src/source/sha256_x86.cpp
  ${CMAKE_SOURCE_DIR}/src/source/file_io.cpp ${CMAKE_SOURCE_DIR}/src/source/pe_overlay.cpp
  ${CMAKE_SOURCE_DIR}/src/source/zip_reader.cpp ${CMAKE_SOURCE_DIR}/src/source/image_checks.cpp
  ${CMAKE_SOURCE_DIR}/src/source/file_names.cpp ${CMAKE_SOURCE_DIR}/src/write/medium_mark.cpp)
target_include_directories(field_check_objects PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(field_check_objects PRIVATE tdw-window-drive)
set_source_files_properties(${_tdw_fc}/field_check.rc PROPERTIES OBJECT_DEPENDS ${_tdw_fc}/field_check.manifest)

# Linked twice, as the program is: stripped to ship, and with its symbols,
# which go beside it (field-check.debug, field-check32.debug) for reading a
# crash report. The linker strips; strip or objcopy would stamp the time.
set(_tdw_fc_name field-check)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(_tdw_fc_name field-check32)
endif()
set(_tdw_fc_libraries tdw-window-drive ${TDW_ZLIB} oleacc ole32 oleaut32 advapi32 winmm version shell32 userenv user32 gdi32 kernel32)
add_executable(field-check $<TARGET_OBJECTS:field_check_objects>)
set_target_properties(field-check PROPERTIES OUTPUT_NAME ${_tdw_fc_name})
target_link_options(field-check PRIVATE -s)
target_link_libraries(field-check PRIVATE ${_tdw_fc_libraries})
add_executable(field-check-symbols $<TARGET_OBJECTS:field_check_objects>)
set_target_properties(field-check-symbols PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_link_libraries(field-check-symbols PRIVATE ${_tdw_fc_libraries})
add_custom_command(TARGET field-check-symbols POST_BUILD
  COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:field-check-symbols>
          ${TDW_WIN_OUTPUT_DIR}/${_tdw_fc_name}.debug
  COMMENT "Keeping the field check's symbols in ${_tdw_fc_name}.debug")
add_dependencies(field-check field-check-symbols)
