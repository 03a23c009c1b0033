# The Windows launcher, Start.exe: no C or C++ runtime, KERNEL32.dll as its
# only import, the GUI subsystem, the icon and the application manifest.
enable_language(RC)

set(FREESTANDING_FLAGS
  -Oz -fno-exceptions -fno-rtti -fno-threadsafe-statics -fno-stack-protector
  # Our own memset and friends must not be turned into calls to themselves.
  -fno-tree-loop-distribute-patterns
  # No unwind tables: the launcher has no handlers of its own, and its own
  # faults are caught before Windows would look for one.
  -fno-asynchronous-unwind-tables -fno-unwind-tables
  # Whole-program optimisation: the launcher is one small program, and
  # inlining across its modules saves an eighth of its code.
  -flto)
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
  src/platform/windows/ansi_text.cpp
  src/platform/windows/short_path.cpp
  src/platform/windows/locale.cpp
  src/platform/windows/file_existence.cpp
  src/platform/windows/process_environment.cpp
  src/platform/windows/process_exit.cpp
  src/platform/windows/debug_output.cpp
  src/platform/windows/fault_guard.cpp)
set(REPLACEABLE_PLATFORM_SOURCES
  src/platform/windows/memory.cpp
  src/platform/windows/profile.cpp
  src/platform/windows/launch.cpp
  src/platform/windows/error_box.cpp)

# Branding. Left alone, the launcher is Start.exe with the drawn icon and the
# project's own version information.
set(START_LAUNCHER_NAME "Start" CACHE STRING
  "The launcher's file name without .exe; it reads the settings file of the same name")
set(START_ICON "" CACHE FILEPATH
  "An .ico file for the launcher's icon (MAINICON); empty: the icon drawn by res/make_icon.py")
set(START_COMPANY "" CACHE STRING
  "CompanyName in the version information; left out when empty")
set(START_PRODUCT "" CACHE STRING "ProductName in the version information; empty: Start")
set(START_DESCRIPTION "" CACHE STRING
  "FileDescription in the version information (Explorer and Task Manager show it); empty: Start launcher")
set(START_VERSION "" CACHE STRING
  "File and product version, like 1.2.3 or 1.2.3.4 (missing parts are 0); empty: the project's version")
set(START_COPYRIGHT "" CACHE STRING
  "LegalCopyright in the version information; empty: the launcher's own copyright and license")
set(START_EXECUTION_LEVEL "asInvoker" CACHE STRING
  "The rights the manifest asks for: asInvoker (no prompt for the launcher, whatever its name), \
highestAvailable or requireAdministrator (Windows asks before the launcher starts, and what it \
starts inherits the rights), or none: no manifest at all, the classic launcher, which Windows' \
installer detection elevates when it is 32-bit and named Setup.exe (or its version strings say \
setup, install or update), and what it starts then inherits the rights")
set(launcher_execution_levels asInvoker highestAvailable requireAdministrator none)
set_property(CACHE START_EXECUTION_LEVEL PROPERTY STRINGS ${launcher_execution_levels})

if(START_LAUNCHER_NAME STREQUAL "")
  message(FATAL_ERROR "START_LAUNCHER_NAME is empty")
elseif(START_LAUNCHER_NAME MATCHES "\\.[Ee][Xx][Ee]$")
  message(FATAL_ERROR "START_LAUNCHER_NAME \"${START_LAUNCHER_NAME}\": give the name without .exe")
elseif(START_LAUNCHER_NAME MATCHES "[<>:\"/|?*\\\\]|[. ]$")
  message(FATAL_ERROR "START_LAUNCHER_NAME \"${START_LAUNCHER_NAME}\" is not a Windows file "
                      "name: it holds one of < > : \" / \\ | ? * or ends in a dot or blank")
endif()
if(NOT START_EXECUTION_LEVEL IN_LIST launcher_execution_levels)
  message(FATAL_ERROR "START_EXECUTION_LEVEL \"${START_EXECUTION_LEVEL}\" is none of asInvoker, "
                      "highestAvailable, requireAdministrator and none (the letter case counts)")
endif()

# A string literal for windres, which takes "" for a quotation mark and reads
# backslashes as escapes.
function(launcher_rc_string out text)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\"\"" text "${text}")
  set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()

if(START_ICON STREQUAL "")
  set(ICON_FILE ${CMAKE_CURRENT_BINARY_DIR}/res/start.ico)
  add_custom_command(
    OUTPUT ${ICON_FILE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/res
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/res/make_icon.py ${ICON_FILE}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/res/make_icon.py
    COMMENT "Drawing the launcher icon")
else()
  # A relative path given with a type (or in a preset) is taken from the
  # source folder; an untyped -D has already been made absolute by CMake.
  cmake_path(ABSOLUTE_PATH START_ICON BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
             NORMALIZE OUTPUT_VARIABLE ICON_FILE)
  include(${CMAKE_CURRENT_LIST_DIR}/icon_check.cmake)
  start_check_icon(START_ICON "${ICON_FILE}")
  # A changed icon is checked again.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ICON_FILE})
endif()
launcher_rc_string(LAUNCHER_RC_ICON "${ICON_FILE}")

foreach(option START_COMPANY START_PRODUCT START_DESCRIPTION START_VERSION START_COPYRIGHT)
  if("${${option}}" MATCHES "[\r\n]")
    message(FATAL_ERROR "${option} must be a single line")
  endif()
endforeach()
# The launcher's code is MIT-licensed: whoever ships it keeps this notice
# unless they brand it with their own.
set(launcher_version "${START_VERSION}")
if(launcher_version STREQUAL "")
  set(launcher_version "${PROJECT_VERSION}")
endif()
set(launcher_copyright "${START_COPYRIGHT}")
if(launcher_copyright STREQUAL "")
  set(launcher_copyright "Copyright (c) the Start launcher authors, MIT License")
endif()
# Explorer and Task Manager name a program by these two. Windows' installer
# detection reads them as it reads the file name, so the defaults keep clear
# of its words.
set(launcher_description "${START_DESCRIPTION}")
if(launcher_description STREQUAL "")
  set(launcher_description "Start launcher")
endif()
set(launcher_product "${START_PRODUCT}")
if(launcher_product STREQUAL "")
  set(launcher_product "Start")
endif()

if(NOT launcher_version MATCHES "^[0-9]+(\\.[0-9]+)?(\\.[0-9]+)?(\\.[0-9]+)?$")
  message(FATAL_ERROR "START_VERSION \"${START_VERSION}\" is not a version like 1.2.3 or 1.2.3.4")
endif()
string(REPLACE "." ";" version_parts "${launcher_version}")
set(LAUNCHER_RC_VERSION "")
foreach(index RANGE 3)
  list(LENGTH version_parts given)
  if(index LESS given)
    list(GET version_parts ${index} part)
    string(REGEX REPLACE "^0+([0-9])" "\\1" part "${part}")
    string(LENGTH "${part}" digits)
    if(digits GREATER 5 OR part GREATER 65535)
      message(FATAL_ERROR "START_VERSION \"${START_VERSION}\": each part must be at most 65535")
    endif()
  else()
    set(part 0)
  endif()
  list(APPEND LAUNCHER_RC_VERSION ${part})
endforeach()
string(REPLACE ";" "," LAUNCHER_RC_VERSION "${LAUNCHER_RC_VERSION}")

# The strings Explorer shows under Details; those not given are left out.
set(LAUNCHER_RC_STRINGS "")
foreach(field IN ITEMS
    "CompanyName=${START_COMPANY}"
    "FileDescription=${launcher_description}"
    "FileVersion=${launcher_version}"
    "InternalName=${START_LAUNCHER_NAME}"
    "OriginalFilename=${START_LAUNCHER_NAME}.exe"
    "ProductName=${launcher_product}"
    "ProductVersion=${launcher_version}"
    "LegalCopyright=${launcher_copyright}")
  string(FIND "${field}" "=" equals)
  string(SUBSTRING "${field}" 0 ${equals} key)
  math(EXPR equals "${equals} + 1")
  string(SUBSTRING "${field}" ${equals} -1 text)
  if(NOT text STREQUAL "")
    launcher_rc_string(text "${text}")
    string(APPEND LAUNCHER_RC_STRINGS "      VALUE \"${key}\", ${text}\n")
  endif()
endforeach()

# The application manifest. With a requested execution level Windows runs
# the launcher with the rights asked for, whatever its name: no installer
# detection, no file and registry virtualization, no "might not have
# installed correctly" from the Program Compatibility Assistant. And an
# embedded manifest wins over a Start.exe.manifest put beside the launcher.
# The supported systems spare it the Vista-era compatibility behaviour of
# later Windows. Nothing else: an activeCodePage would turn every ANSI call,
# the settings read among them, into UTF-8.
set(LAUNCHER_RC_MANIFEST "")
set(launcher_rc_depends ${ICON_FILE})
if(NOT START_EXECUTION_LEVEL STREQUAL "none")
  set(launcher_manifest ${CMAKE_CURRENT_BINARY_DIR}/res/launcher.manifest)
  configure_file(res/launcher.manifest.in ${launcher_manifest} @ONLY NEWLINE_STYLE LF)
  launcher_rc_string(manifest_file "${launcher_manifest}")
  set(LAUNCHER_RC_MANIFEST "1 24 ${manifest_file}  // CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST")
  list(APPEND launcher_rc_depends ${launcher_manifest})
endif()

set(LAUNCHER_RC ${CMAKE_CURRENT_BINARY_DIR}/res/launcher.rc)
configure_file(res/launcher.rc.in ${LAUNCHER_RC} @ONLY)
set_source_files_properties(${LAUNCHER_RC} PROPERTIES OBJECT_DEPENDS "${launcher_rc_depends}")

# add_launcher(<target> <platform sources>...): a launcher (Start.exe, or
# START_LAUNCHER_NAME.exe) from the core and the given platform modules.
function(add_launcher target)
  add_executable(${target}
    src/startup/entry.cpp
    src/platform/windows/runtime_support.cpp
    ${LAUNCHER_RC}
    ${ARGN})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME "${START_LAUNCHER_NAME}")
  target_include_directories(${target} PRIVATE src)
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${FREESTANDING_FLAGS}>)
  target_link_libraries(${target} PRIVATE launcher_core)
  target_link_options(${target} PRIVATE
    ${FREESTANDING_FLAGS}
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

# Prints what GetPrivateProfileStringA returns; the native build of the same
# program prints what the checker's profile reader returns.
add_executable(profile_dump tests/tools/profile_dump.cpp)
target_link_options(profile_dump PRIVATE -static)

# Build checks: imports, subsystem, icon, manifest, size.
add_test(NAME build_check
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/tests/tools/check_build.py
          $<TARGET_FILE:Start> ${CMAKE_OBJDUMP} ${START_EXECUTION_LEVEL})

# The real launcher under Wine, in each build. The 32-bit Wine runs under qemu
# here (about a second a program), so the x86 build leaves out the 200
# hostile settings files, which test code both builds share.
set(wine_environment
  "START_EXE=$<TARGET_FILE:Start>;RECORDER_EXE=$<TARGET_FILE:recorder>;HOOKED_START_EXE=$<TARGET_FILE:StartWithTestHooks>;PLANTED_DLL=$<TARGET_FILE:planted>;STARTCHECK_EXE=$<TARGET_FILE:startcheck>;HOST_STARTCHECK=${CMAKE_CURRENT_SOURCE_DIR}/build/native/startcheck")
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  add_test(NAME wine_end_to_end
    COMMAND ${DEBIAN_PYTHON3} ${CMAKE_CURRENT_SOURCE_DIR}/tests/e2e/wine_launch_test.py)
  set_tests_properties(wine_end_to_end PROPERTIES TIMEOUT 1800 ENVIRONMENT "${wine_environment}")
else()
  set(x86_selection)
  foreach(test_class ProcessStartTest ShellTest ExplorerFolderTest ForeignFolderTest ElevationTest
                     FaultTest PlantedDllTest DllLoadTest DoubleByteTest SettingsFileTest
                     ManifestTest CheckerAgreesTest SelfStartTest ShellHandOverTest)
    list(APPEND x86_selection -k ${test_class})
  endforeach()
  add_test(NAME wine_end_to_end
    COMMAND ${DEBIAN_PYTHON3} ${CMAKE_CURRENT_SOURCE_DIR}/tests/e2e/wine_launch_test.py
            ${x86_selection})
  set_tests_properties(wine_end_to_end PROPERTIES TIMEOUT 2400 ENVIRONMENT "${wine_environment}")

  # A GetProcAddress pointer without WINAPI must stop the 32-bit build.
  add_test(NAME system_call_convention
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/tests/tools/check_system_call.py
            ${CMAKE_CXX_COMPILER} ${CMAKE_CURRENT_SOURCE_DIR}/src)
endif()

# Two clean builds in other folders, at other times, give the same bytes.
add_test(NAME reproducible
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/tests/tools/check_reproducible.py
          ${CMAKE_COMMAND} ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_TOOLCHAIN_FILE} "${CMAKE_GENERATOR}")
set_tests_properties(reproducible PROPERTIES TIMEOUT 900)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  # Branding: configures and builds a named, iconed and versioned launcher in
  # a scratch folder, and checks that a bad icon stops the configure.
  add_test(NAME branding
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/tests/tools/check_branding.py
            ${CMAKE_COMMAND} ${CMAKE_CURRENT_SOURCE_DIR}
            ${CMAKE_CURRENT_SOURCE_DIR}/cmake/mingw-x64.cmake "${CMAKE_GENERATOR}")
  set_tests_properties(branding PROPERTIES TIMEOUT 600)

  # The release archive from this build and the x86 one (built before the
  # tests run), unpacked, checked, signed and run under Wine.
  add_test(NAME release_archive
    COMMAND ${DEBIAN_PYTHON3} ${CMAKE_CURRENT_SOURCE_DIR}/tests/release/release_test.py)
  set_tests_properties(release_archive PROPERTIES TIMEOUT 900
    ENVIRONMENT "X64_BUILD=${CMAKE_CURRENT_BINARY_DIR};X86_BUILD=${CMAKE_CURRENT_SOURCE_DIR}/build/windows-x86;RECORDER_EXE=$<TARGET_FILE:recorder>")

  # The checker's profile reader (built by the native preset) against the
  # real GetPrivateProfileStringA under Wine, file by file.
  add_test(NAME profile_differential
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/tests/e2e/profile_differential_test.py)
  set_tests_properties(profile_differential PROPERTIES TIMEOUT 900
    ENVIRONMENT "PROFILE_DUMP_EXE=$<TARGET_FILE:profile_dump>;PROFILE_DUMP_HOST=${CMAKE_CURRENT_SOURCE_DIR}/build/native/profile_dump")
endif()
