#!/usr/bin/env bash
# Builds both launchers and both checkers and makes build/release/start-<version>.zip.
# To sign them: --cert FILE.pfx, or --cert FILE.pem --key KEY.pem, optionally
# --timestamp URL; the key's password, if any, in START_SIGN_PASSWORD.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh >/dev/null
echo "Building the x64 and x86 presets..."
./scripts/build.sh windows-x64 windows-x86 >/dev/null
python3 tools/release/make_release.py --x64 build/windows-x64 --x86 build/windows-x86 \
  --out build/release "$@"
