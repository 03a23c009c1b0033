#!/usr/bin/env bash
# The main job: builds both launchers and the checker, then runs the 64-bit
# launcher under Wine on the example media folders in all three modes, and
# the checker on two of them.
set -euo pipefail
cd "$(dirname "$0")/.."
echo "Checking the build tools and Wine (installs what is missing with apt-get)..."
./scripts/install-deps.sh
step() {
  local started=$SECONDS
  echo -n "$1... "
  shift
  "$@" >/dev/null
  echo "done ($((SECONDS - started)) s)"
}
step "Building the 64-bit launcher and checker (build/windows-x64)" ./scripts/build.sh windows-x64
step "Building the 32-bit launcher and checker (build/windows-x86)" ./scripts/build.sh windows-x86
step "Building the checker for this machine (build/native/startcheck)" \
  bash -c 'cmake --preset native && cmake --build --preset native --target startcheck -j "$(nproc)"'
exec /usr/bin/python3 scripts/demo_run.py
