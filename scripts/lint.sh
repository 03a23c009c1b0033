#!/usr/bin/env bash
# Static analysis: clang-tidy (configuration in .clang-tidy) on the portable
# core and the checker's host code, with the native build's compile commands,
# and cppcheck on all of src/ and tools/ (and the profile dump test tool).
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build/native/compile_commands.json ] || ./scripts/build.sh native >/dev/null

core=(src/paths/*.cpp src/settings/*.cpp src/startup/launch_request.cpp
      src/startup/failure_report.cpp src/startup/startup_sequence.cpp)
echo "clang-tidy: ${#core[@]} files of the core"
clang-tidy --quiet -p build/native "${core[@]}" 2>/dev/null

checker=(tools/startcheck/check.cpp tools/startcheck/findings.cpp tools/startcheck/profile_reader.cpp
         tools/startcheck/program_image.cpp tools/startcheck/code_page_host.cpp
         tools/startcheck/host_media.cpp tools/startcheck/media_path.cpp
         tools/startcheck/host_platform.cpp
         tools/startcheck/main.cpp tests/tools/profile_dump.cpp)
echo "clang-tidy: ${#checker[@]} files of the checker"
clang-tidy --quiet -p build/native --header-filter='.*/(src|tools)/.*' "${checker[@]}" 2>/dev/null

# The launcher links no C++ library: loops stay loops, not <algorithm> calls.
echo "cppcheck: src/ tools/"
cppcheck --enable=warning,style,performance,portability --std=c++17 --inline-suppr \
  --suppress=useStlAlgorithm --suppress=missingIncludeSystem \
  --error-exitcode=1 --quiet -I src -I tools/startcheck src tools tests/tools/profile_dump.cpp
echo "static analysis: clean"
