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
)
target_link_libraries(unit_tests PRIVATE launcher_core fake_platform launcher_core
  GTest::gtest GTest::gtest_main)
gtest_discover_tests(unit_tests)
