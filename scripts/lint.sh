#!/usr/bin/env bash
# Static analysis: clang-tidy (configuration in .clang-tidy) on the portable
# core, with the native build's compile commands, and cppcheck on all of src/.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build/native/compile_commands.json ] || ./scripts/build.sh native >/dev/null

core=(src/paths/*.cpp src/settings/*.cpp src/startup/launch_request.cpp
      src/startup/failure_report.cpp src/startup/startup_sequence.cpp)
echo "clang-tidy: ${#core[@]} files of the core"
clang-tidy --quiet -p build/native "${core[@]}" 2>/dev/null

# The launcher links no C++ library: loops stay loops, not <algorithm> calls.
echo "cppcheck: src/"
cppcheck --enable=warning,style,performance,portability --std=c++17 --inline-suppr \
  --suppress=useStlAlgorithm --suppress=missingIncludeSystem \
  --error-exitcode=1 --quiet -I src src
echo "static analysis: clean"
