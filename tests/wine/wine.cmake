# The driver that works the wizard's window from another process, and the
# scenarios that run the real program under Wine on a private Xvfb display.
add_executable(tdw-driver ${CMAKE_CURRENT_LIST_DIR}/driver.cpp)
target_link_libraries(tdw-driver PRIVATE tdw-window-drive user32 gdi32 kernel32)

find_program(TDW_WINE_PROGRAM wine)
find_program(TDW_XVFB_PROGRAM Xvfb)
find_program(TDW_BASH_PROGRAM bash)

if(TDW_WINE_PROGRAM AND TDW_XVFB_PROGRAM AND TDW_BASH_PROGRAM)
  set(_tdw_wine_dir ${CMAKE_CURRENT_LIST_DIR})
  set(_tdw_wine_env
    "TDW_ROOT=${CMAKE_SOURCE_DIR}"
    "TDW_EXE=${TDW_WIN_OUTPUT_DIR}/TalvixDiskWriter.exe"
    "TDW_DRIVER=$<TARGET_FILE:tdw-driver>"
    "TDW_ATTACH_IMAGE=${TDW_ATTACH_IMAGE}")

  # ctest does not build: the first test brings both programs and the driver
  # up to date, and every Wine test needs it to have passed.
  add_test(NAME wine.build
    COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target TalvixDiskWriter TalvixDiskWriter32 tdw-driver bench-probe field-check)
  set_tests_properties(wine.build PROPERTIES
    FIXTURES_SETUP tdw_wine_build RESOURCE_LOCK tdw_wine TIMEOUT 1800 LABELS wine)

  # Two lanes of scenarios run side by side, each with a session of its own
  # (prefix, Xvfb display, wineserver and drive E:, under its own folder) for
  # the whole run: while one lane's scenario waits on the window, the other's
  # works. A lane runs its scenarios one at a time. The second lane takes the
  # hundred and fifty writes in a row, each keeping a copy, which take about
  # as long as all the rest (build/wine2/logs holds its logs).
  set(_tdw_lane2 stress_repeated_writes)
  set(_tdw_lane1_dir ${CMAKE_SOURCE_DIR}/build/wine)
  set(_tdw_lane2_dir ${CMAKE_SOURCE_DIR}/build/wine2)
  foreach(_tdw_lane 1 2)
    set(_tdw_session wine.session)
    if(_tdw_lane EQUAL 2)
      set(_tdw_session wine.session2)
    endif()
    add_test(NAME ${_tdw_session}.start COMMAND ${TDW_BASH_PROGRAM} ${_tdw_wine_dir}/session.sh start)
    add_test(NAME ${_tdw_session}.stop COMMAND ${TDW_BASH_PROGRAM} ${_tdw_wine_dir}/session.sh stop)
    set_tests_properties(${_tdw_session}.start PROPERTIES
      FIXTURES_SETUP tdw_wine_lane${_tdw_lane} FIXTURES_REQUIRED tdw_wine_build)
    set_tests_properties(${_tdw_session}.stop PROPERTIES FIXTURES_CLEANUP tdw_wine_lane${_tdw_lane})
    set_tests_properties(${_tdw_session}.start ${_tdw_session}.stop PROPERTIES
      RESOURCE_LOCK tdw_wine_lane${_tdw_lane} TIMEOUT 180 LABELS wine
      ENVIRONMENT "${_tdw_wine_env};TDW_WINE_DIR=${_tdw_lane${_tdw_lane}_dir}")
  endforeach()

  # tdw_wine_scenario(<test name> <script> <environment> <timeout>): one
  # scenario in the session of its lane.
  function(tdw_wine_scenario test script env timeout)
    string(REGEX REPLACE "^wine\\." "" _short ${test})
    set(_lane 1)
    if(_short IN_LIST _tdw_lane2 OR test IN_LIST _tdw_lane2)
      set(_lane 2)
    endif()
    list(APPEND env "TDW_WINE_DIR=${_tdw_lane${_lane}_dir}")
    add_test(NAME ${test} COMMAND ${TDW_BASH_PROGRAM} ${script})
    # A scenario whose tools this machine lacks ends with 77: skipped, not passed.
    set_tests_properties(${test} PROPERTIES
      FIXTURES_REQUIRED "tdw_wine_lane${_lane};tdw_wine_build" RESOURCE_LOCK tdw_wine_lane${_lane}
      TIMEOUT ${timeout} SKIP_RETURN_CODE 77 ENVIRONMENT "${env}")
  endfunction()

  file(GLOB _tdw_scenarios CONFIGURE_DEPENDS ${_tdw_wine_dir}/scenarios/*.sh)
  foreach(_tdw_scenario IN LISTS _tdw_scenarios)
    get_filename_component(_tdw_name ${_tdw_scenario} NAME_WE)
    # Limits that only end a hung scenario: on a 2-core machine shared with
    # other work a scenario takes five times as long as alone. A hundred
    # writes in a row take a few minutes alone.
    set(_tdw_timeout 600)
    if(_tdw_name STREQUAL "stress_repeated_writes")
      set(_tdw_timeout 1800)
    endif()
    # The status list at four scales: the program started four times.
    if(_tdw_name STREQUAL "status_list")
      set(_tdw_timeout 300)
    elseif(_tdw_name STREQUAL "write_internal")
      set(_tdw_timeout 240)
    endif()
    tdw_wine_scenario(wine.${_tdw_name} ${_tdw_scenario} "${_tdw_wine_env}" ${_tdw_timeout})
    set_tests_properties(wine.${_tdw_name} PROPERTIES LABELS wine)
    # In a fresh tree CTest has no times of its own yet: the longest start
    # first, so that no lane ends with one of them alone.
    if(_tdw_name STREQUAL "stress_repeated_writes")
      set_tests_properties(wine.${_tdw_name} PROPERTIES COST 150)
    elseif(_tdw_name MATCHES "^(stress_bad_archives|field_check|write_internal|checks_source)$")
      set_tests_properties(wine.${_tdw_name} PROPERTIES COST 50)
    endif()
  endforeach()

  # The 32-bit program walks the main road again: start and load, choose E:,
  # write, read back and put back, the status list, the keyboard, and the
  # field check made for it.
  set(_tdw_wine32_env ${_tdw_wine_env})
  list(TRANSFORM _tdw_wine32_env REPLACE "TalvixDiskWriter\\.exe$" "TalvixDiskWriter32.exe")
  foreach(_tdw_name start_welcome loader_attached targets_list write_internal status_list keyboard field_check)
    set(_tdw_timeout 120)
    if(_tdw_name STREQUAL "field_check")
      set(_tdw_timeout 600)
    endif()
    tdw_wine_scenario(wine32.${_tdw_name} ${_tdw_wine_dir}/scenarios/${_tdw_name}.sh
      "${_tdw_wine32_env}" ${_tdw_timeout})
    set_tests_properties(wine32.${_tdw_name} PROPERTIES LABELS "wine;wine32")
  endforeach()
else()
  # One test stands for all of them, so that their absence shows: skipped
  # here, failed when CI=true.
  message(STATUS "wine, Xvfb or bash not found: the Wine scenarios are not registered")
  add_test(NAME wine.prerequisites COMMAND sh -c
    "echo 'the Wine scenarios need wine, Xvfb and bash; missing on this machine' >&2; [ \"$CI\" = true ] && exit 1; exit 77")
  set_tests_properties(wine.prerequisites PROPERTIES SKIP_RETURN_CODE 77 LABELS wine)
endif()
