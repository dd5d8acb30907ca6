# Native (Linux) build: the portable core, its unit tests under the sanitizers,
# and the host tools.
include(CTest)

option(TDW_SANITIZE "Build the native code with ASan and UBSan" ON)
if(TDW_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

find_package(ZLIB REQUIRED)
find_package(GTest REQUIRED)
include(GoogleTest)

include(${CMAKE_SOURCE_DIR}/tools/field_check/field_rules.cmake)
add_library(tdw_core STATIC ${TDW_PORTABLE_SOURCES} ${TDW_TOOL_SOURCES} ${TDW_FIELD_RULES_SOURCES})
target_include_directories(tdw_core PUBLIC ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tools/field_check)
target_link_libraries(tdw_core PUBLIC ZLIB::ZLIB)

file(GLOB TDW_NATIVE_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/native/*_test.cpp
  ${CMAKE_SOURCE_DIR}/tests/native/*_model.cpp)
add_executable(tdw_native_tests ${TDW_NATIVE_TESTS})
target_link_libraries(tdw_native_tests PRIVATE tdw_core GTest::gtest GTest::gtest_main)
# The catalogue's own files, which a test reads as the resource compiler does.
target_compile_definitions(tdw_native_tests PRIVATE TDW_RESOURCE_DIR="${CMAKE_SOURCE_DIR}/src/resources")
gtest_discover_tests(tdw_native_tests DISCOVERY_TIMEOUT 60)

if(EXISTS ${CMAKE_SOURCE_DIR}/tools/CMakeLists.txt)
  add_subdirectory(${CMAKE_SOURCE_DIR}/tools ${CMAKE_BINARY_DIR}/tools)
endif()

# The folders of src/ include one another one way only (scripts/check-layers
# prints the graph); cheap enough to run with the unit tests.
add_test(NAME layers COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-layers ${CMAKE_SOURCE_DIR}/src)
