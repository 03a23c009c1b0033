# The host build: the portable core against a recording fake platform, and
# its unit tests.
find_package(GTest REQUIRED)
include(GoogleTest)

add_library(launcher_core STATIC ${CORE_SOURCES})
target_include_directories(launcher_core PUBLIC src)

add_library(fake_platform STATIC tests/fake/fake_platform.cpp)
target_include_directories(fake_platform PUBLIC src tests/fake)

add_executable(unit_tests
  tests/unit/path_names_test.cpp
  tests/unit/integer_text_test.cpp
  tests/unit/double_byte_text_test.cpp
  tests/unit/settings_test.cpp
  tests/unit/startup_test.cpp
  tests/unit/module_path_test.cpp
)
target_link_libraries(unit_tests PRIVATE launcher_core fake_platform launcher_core
  GTest::gtest GTest::gtest_main)
gtest_discover_tests(unit_tests)

# Fuzzing with libFuzzer (the `fuzz` preset builds everything with clang and
# the address and undefined-behaviour sanitizers). Each target runs for a
# bounded time from the seed corpus in fuzz/corpus/<name>; what it finds
# beyond the seeds goes to build/fuzz/corpus/<name>.
option(START_FUZZ "Build the libFuzzer targets (needs clang)" OFF)
if(START_FUZZ)
  set(FUZZ_SECONDS 20 CACHE STRING "How long each fuzz test runs")
  foreach(name integer_text path_names settings_load)
    add_executable(${name}_fuzz fuzz/${name}_fuzz.cpp)
    target_link_libraries(${name}_fuzz PRIVATE launcher_core fake_platform launcher_core)
    target_link_options(${name}_fuzz PRIVATE -fsanitize=fuzzer)
    set(found ${CMAKE_CURRENT_BINARY_DIR}/corpus/${name})
    file(MAKE_DIRECTORY ${found})
    add_test(NAME ${name}_fuzz
      COMMAND ${name}_fuzz -max_total_time=${FUZZ_SECONDS} -timeout=5 -print_final_stats=1
              ${found} ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/corpus/${name})
    set_tests_properties(${name}_fuzz PROPERTIES TIMEOUT 300)
  endforeach()
endif()
