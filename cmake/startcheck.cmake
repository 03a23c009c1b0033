# startcheck, the checker for media authors: the launcher's own core code
# with the media seen through the host (Linux) or through Windows itself.
set(STARTCHECK_SOURCES
  tools/startcheck/main.cpp
  tools/startcheck/check.cpp
  tools/startcheck/profile_reader.cpp
  tools/startcheck/program_image.cpp)

if(WIN32)
  add_executable(startcheck ${STARTCHECK_SOURCES}
    tools/startcheck/windows_media.cpp
    src/platform/windows/memory.cpp
    src/platform/windows/locale.cpp
    src/platform/windows/system_library.cpp
    src/platform/windows/module_file.cpp
    src/platform/windows/ansi_text.cpp
    src/platform/windows/short_path.cpp)
  target_include_directories(startcheck PRIVATE src tools/startcheck)
  target_link_libraries(startcheck PRIVATE launcher_core shell32)
  target_link_options(startcheck PRIVATE -static -s)
else()
  add_library(startcheck_host OBJECT
    tools/startcheck/check.cpp
    tools/startcheck/profile_reader.cpp
    tools/startcheck/program_image.cpp
    tools/startcheck/host_media.cpp
    tools/startcheck/host_platform.cpp)
  target_include_directories(startcheck_host PUBLIC src tools/startcheck)
  target_link_libraries(startcheck_host PUBLIC launcher_core)

  add_executable(startcheck tools/startcheck/main.cpp)
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
    START_EXAMPLES_DIR="${CMAKE_CURRENT_SOURCE_DIR}/examples")
  gtest_discover_tests(startcheck_tests)
endif()
