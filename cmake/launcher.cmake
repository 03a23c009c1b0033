# The Windows launcher, Start.exe: no C or C++ runtime, KERNEL32.dll as its
# only import, the GUI subsystem, and the icon.
enable_language(RC)

set(FREESTANDING_FLAGS
  -Oz -fno-exceptions -fno-rtti -fno-threadsafe-statics -fno-stack-protector
  # Our own memset and friends must not be turned into calls to themselves.
  -fno-tree-loop-distribute-patterns
  # No unwind tables: the launcher has no handlers of its own, and its own
  # faults are caught before Windows would look for one.
  -fno-asynchronous-unwind-tables -fno-unwind-tables)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  # Every address is taken relative to the instruction, so the 64-bit image
  # needs no relocations at all.
  list(APPEND FREESTANDING_FLAGS -mcmodel=small)
  set(ENTRY_SYMBOL StartupEntry)
else()
  set(ENTRY_SYMBOL _StartupEntry)  # 32-bit symbols carry a leading underscore
endif()

add_library(launcher_core STATIC ${CORE_SOURCES})
target_include_directories(launcher_core PUBLIC src)
target_compile_options(launcher_core PRIVATE ${FREESTANDING_FLAGS})

# One small module per Windows service. The four the test build replaces come
# last.
set(PLATFORM_SOURCES
  src/platform/windows/system_library.cpp
  src/platform/windows/module_file.cpp
  src/platform/windows/locale.cpp
  src/platform/windows/file_existence.cpp
  src/platform/windows/process_exit.cpp
  src/platform/windows/fault_guard.cpp)
set(REPLACEABLE_PLATFORM_SOURCES
  src/platform/windows/memory.cpp
  src/platform/windows/profile.cpp
  src/platform/windows/launch.cpp
  src/platform/windows/error_box.cpp)

set(ICON_FILE ${CMAKE_CURRENT_BINARY_DIR}/res/start.ico)
add_custom_command(
  OUTPUT ${ICON_FILE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/res
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/res/make_icon.py ${ICON_FILE}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/res/make_icon.py
  COMMENT "Drawing the launcher icon")
set_source_files_properties(res/launcher.rc PROPERTIES OBJECT_DEPENDS ${ICON_FILE})

# add_launcher(<target> <platform sources>...): a Start.exe from the core and
# the given platform modules.
function(add_launcher target)
  add_executable(${target}
    src/startup/entry.cpp
    src/platform/windows/runtime_support.cpp
    res/launcher.rc
    ${ARGN})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME Start)
  target_include_directories(${target} PRIVATE src)
  target_compile_options(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:${FREESTANDING_FLAGS}>
    $<$<COMPILE_LANGUAGE:RC>:-I${CMAKE_CURRENT_BINARY_DIR}/res>)
  target_link_libraries(${target} PRIVATE launcher_core)
  target_link_options(${target} PRIVATE
    -nostdlib -nostartfiles -s
    -Wl,--fatal-warnings
    -Wl,-T,${CMAKE_CURRENT_SOURCE_DIR}/cmake/launcher.ld
    -Wl,--subsystem,windows
    -Wl,-e,${ENTRY_SYMBOL}
    -Wl,--gc-sections
    -Wl,--dynamicbase -Wl,--nxcompat)
  # kernel32 for every call; libgcc, linked in statically, for the stack probe
  # of large frames.
  target_link_libraries(${target} PRIVATE kernel32 gcc)
  set_property(TARGET ${target} APPEND PROPERTY
    LINK_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/cmake/launcher.ld)
endfunction()

add_launcher(Start ${PLATFORM_SOURCES} ${REPLACEABLE_PLATFORM_SOURCES})

# For tests only: a launcher whose profile reads, launch requests and
# allocations can be made to fail, and whose error box is written to a file.
add_launcher(StartWithTestHooks ${PLATFORM_SOURCES}
  tests/e2e/hooks/memory_with_failures.cpp
  tests/e2e/hooks/profile_with_faults.cpp
  tests/e2e/hooks/launch_with_faults.cpp
  tests/e2e/hooks/error_box_recorded.cpp)
set_target_properties(StartWithTestHooks PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/test-hooks)
target_include_directories(StartWithTestHooks PRIVATE tests/e2e/hooks)

# A stand-in target for the end-to-end runs: it writes down what it was
# started with.
add_executable(recorder tests/e2e/recorder.c)
target_link_options(recorder PRIVATE -static)

# A DLL that writes a marker beside itself when loaded, planted under many
# names beside the launcher to prove none of them is ever taken.
add_library(planted SHARED tests/e2e/planted.c)
set_target_properties(planted PROPERTIES PREFIX "")
target_link_options(planted PRIVATE -static)

# Build checks: imports, subsystem, icon, size.
add_test(NAME build_check
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/tests/tools/check_build.py
          $<TARGET_FILE:Start> ${CMAKE_OBJDUMP})

# The real launcher under Wine. Only the 64-bit build runs: 32-bit Wine is
# not available on the build machines.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  add_test(NAME wine_end_to_end
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/tests/e2e/wine_launch_test.py)
  set_tests_properties(wine_end_to_end PROPERTIES TIMEOUT 1800
    ENVIRONMENT "START_EXE=$<TARGET_FILE:Start>;RECORDER_EXE=$<TARGET_FILE:recorder>;HOOKED_START_EXE=$<TARGET_FILE:StartWithTestHooks>;PLANTED_DLL=$<TARGET_FILE:planted>")
endif()
