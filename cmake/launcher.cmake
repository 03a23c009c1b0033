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
target_link_options(Start PRIVATE
  -nostdlib -nostartfiles -s
  -Wl,--subsystem,windows
  -Wl,-e,StartupEntry
  -Wl,--gc-sections
  -Wl,--dynamicbase -Wl,--nxcompat)
# kernel32 for every call; libgcc, linked in statically, for the stack probe
# of large frames.
target_link_libraries(Start PRIVATE kernel32 gcc)

# A stand-in target for the end-to-end runs: it writes down what it was
# started with.
add_executable(recorder tests/e2e/recorder.c)
target_link_options(recorder PRIVATE -static)
