#!/usr/bin/env bash
# Runs every test: native unit tests, build checks of both launchers, both
# launchers end to end under Wine, the release archive and its signing, and
# the fuzz targets (20 s each, with
# the unit tests again under the address and undefined-behaviour sanitizers),
# then clang-tidy and cppcheck.
set -uo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh || exit 1
./scripts/build.sh || exit 1
status=0
summary=()
for preset in native windows-x64 windows-x86 fuzz; do
  echo "== ctest --preset $preset"
  if ctest --preset "$preset"; then
    summary+=("$preset: passed")
  else
    summary+=("$preset: FAILED")
    status=1
  fi
done
echo "== static analysis"
if ./scripts/lint.sh; then summary+=("static analysis: clean"); else summary+=("static analysis: FAILED"); status=1; fi
echo
printf '%s\n' "${summary[@]}"
exit $status
