# The Windows launcher, Start.exe: no C or C++ runtime, KERNEL32.dll as its
# only import, the GUI subsystem, and the icon.
enable_language(RC)

set(FREESTANDING_FLAGS
  -fno-exceptions -fno-rtti -fno-threadsafe-statics -fno-stack-protector
  -fno-asynchronous-unwind-tables -fno-unwind-tables
  # Our own memset and friends must not be turned into calls to themselves.
  -fno-tree-loop-distribute-patterns)

add_library(launcher_core STATIC ${CORE_SOURCES})
target_include_directories(launcher_core PUBLIC src)
target_compile_options(launcher_core PRIVATE ${FREESTANDING_FLAGS})

add_library(windows_platform STATIC
  src/platform/windows/system_library.cpp
  src/platform/windows/memory.cpp
  src/platform/windows/module_file.cpp
  src/platform/windows/locale.cpp
  src/platform/windows/file_existence.cpp
  src/platform/windows/profile.cpp
  src/platform/windows/launch.cpp
  src/platform/windows/process_exit.cpp
  src/platform/windows/error_box.cpp
)
target_include_directories(windows_platform PUBLIC src)
target_compile_options(windows_platform PRIVATE ${FREESTANDING_FLAGS})

set(ICON_FILE ${CMAKE_CURRENT_BINARY_DIR}/res/start.ico)
add_custom_command(
  OUTPUT ${ICON_FILE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/res
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/res/make_icon.py ${ICON_FILE}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/res/make_icon.py
  COMMENT "Drawing the launcher icon")
set_source_files_properties(res/launcher.rc PROPERTIES OBJECT_DEPENDS ${ICON_FILE})

add_executable(Start
  src/startup/entry.cpp
  src/platform/windows/runtime_support.cpp
  res/launcher.rc)
target_compile_options(Start PRIVATE ${FREESTANDING_FLAGS})
target_include_directories(Start PRIVATE src)
target_compile_options(Start PRIVATE $<$<COMPILE_LANGUAGE:RC>:-I${CMAKE_CURRENT_BINARY_DIR}/res>)
target_link_libraries(Start PRIVATE launcher_core windows_platform launcher_core)
# 32-bit symbols carry a leading underscore.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(ENTRY_SYMBOL _StartupEntry)
else()
  set(ENTRY_SYMBOL StartupEntry)
endif()
target_link_options(Start PRIVATE
  -nostdlib -nostartfiles -s
  -Wl,--fatal-warnings
  -Wl,--subsystem,windows
  -Wl,-e,${ENTRY_SYMBOL}
  -Wl,--gc-sections
  -Wl,--dynamicbase -Wl,--nxcompat)
# kernel32 for every call; libgcc, linked in statically, for the stack probe
# of large frames.
target_link_libraries(Start PRIVATE kernel32 gcc)

# A stand-in target for the end-to-end runs: it writes down what it was
# started with.
add_executable(recorder tests/e2e/recorder.c)
target_link_options(recorder PRIVATE -static)

# Build checks: imports, subsystem, icon, size.
add_test(NAME build_check
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/tests/tools/check_build.py
          $<TARGET_FILE:Start> ${CMAKE_OBJDUMP})

# The real launcher under Wine. Only the 64-bit build runs: 32-bit Wine is
# not available on the build machines.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  add_test(NAME wine_end_to_end
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/tests/e2e/wine_launch_test.py)
  set_tests_properties(wine_end_to_end PROPERTIES TIMEOUT 900
    ENVIRONMENT "START_EXE=$<TARGET_FILE:Start>;RECORDER_EXE=$<TARGET_FILE:recorder>")
endif()
