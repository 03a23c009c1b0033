# startcheck, the checker for media authors: the launcher's own core code
# with the media seen through the host (Linux) or through Windows itself.
# nlohmann's JSON library, from Debian's nlohmann-json3-dev. A folder of its
# own holds a link to it: the Windows build must not see the rest of
# /usr/include.
find_file(NLOHMANN_JSON_HEADER nlohmann/json.hpp PATHS /usr/include NO_DEFAULT_PATH
          NO_CMAKE_FIND_ROOT_PATH)
if(NOT NLOHMANN_JSON_HEADER)
  message(FATAL_ERROR "nlohmann/json.hpp not found: install Debian's nlohmann-json3-dev")
endif()
get_filename_component(nlohmann_folder ${NLOHMANN_JSON_HEADER} DIRECTORY)
set(JSON_INCLUDE_DIR ${CMAKE_CURRENT_BINARY_DIR}/third_party)
file(MAKE_DIRECTORY ${JSON_INCLUDE_DIR})
file(CREATE_LINK ${nlohmann_folder} ${JSON_INCLUDE_DIR}/nlohmann SYMBOLIC)

set(STARTCHECK_SOURCES
  tools/startcheck/main.cpp
  tools/startcheck/check.cpp
  tools/startcheck/findings.cpp
  tools/startcheck/profile_reader.cpp
  tools/startcheck/program_image.cpp)

if(WIN32)
  add_executable(startcheck ${STARTCHECK_SOURCES}
    tools/startcheck/windows_media.cpp
    tools/startcheck/media_path.cpp
    tools/startcheck/code_page_windows.cpp
    src/platform/windows/memory.cpp
    src/platform/windows/locale.cpp
    src/platform/windows/system_library.cpp
    src/platform/windows/module_file.cpp
    src/platform/windows/ansi_text.cpp
    src/platform/windows/short_path.cpp)
  target_include_directories(startcheck PRIVATE src tools/startcheck)
  target_include_directories(startcheck SYSTEM PRIVATE ${JSON_INCLUDE_DIR})
  target_compile_definitions(startcheck PRIVATE START_VERSION_TEXT="${PROJECT_VERSION}")
  target_link_libraries(startcheck PRIVATE launcher_core shell32)
  # wmain: the arguments arrive as UTF-16, names outside the code page too.
  target_link_options(startcheck PRIVATE -static -s -municode)
else()
  add_library(startcheck_host OBJECT
    tools/startcheck/check.cpp
    tools/startcheck/findings.cpp
    tools/startcheck/profile_reader.cpp
    tools/startcheck/program_image.cpp
    tools/startcheck/host_media.cpp
    tools/startcheck/media_path.cpp
    tools/startcheck/host_platform.cpp
    tools/startcheck/code_page_host.cpp)
  target_include_directories(startcheck_host PUBLIC src tools/startcheck)
  target_include_directories(startcheck_host SYSTEM PUBLIC ${JSON_INCLUDE_DIR})
  target_link_libraries(startcheck_host PUBLIC launcher_core)

  add_executable(startcheck tools/startcheck/main.cpp)
  target_compile_definitions(startcheck PRIVATE START_VERSION_TEXT="${PROJECT_VERSION}")
  target_link_libraries(startcheck PRIVATE startcheck_host launcher_core)

  # Prints what the profile reader returns; the Windows build of the same
  # program prints what GetPrivateProfileStringA returns.
  add_executable(profile_dump tests/tools/profile_dump.cpp)
  target_link_libraries(profile_dump PRIVATE startcheck_host)

  add_executable(startcheck_tests
    tests/tools/startcheck_test.cpp
    tests/tools/profile_reader_test.cpp)
  target_link_libraries(startcheck_tests PRIVATE startcheck_host launcher_core
    GTest::gtest GTest::gtest_main)
  target_compile_definitions(startcheck_tests PRIVATE
    START_EXAMPLES_DIR="${CMAKE_CURRENT_SOURCE_DIR}/examples"
    START_DOCS_DIR="${CMAKE_CURRENT_SOURCE_DIR}/docs")
  gtest_discover_tests(startcheck_tests)

  # Arguments, exit codes, usage texts, a folder named instead of the
  # launcher, and the JSON of every example against its schema.
  add_test(NAME startcheck_cli
    COMMAND ${DEBIAN_PYTHON3} ${CMAKE_CURRENT_SOURCE_DIR}/tests/tools/startcheck_cli_test.py
            $<TARGET_FILE:startcheck> ${CMAKE_CURRENT_SOURCE_DIR}/examples)
endif()
