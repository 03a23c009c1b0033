#!/usr/bin/env bash
# The main job: builds both launchers, then runs the 64-bit one under Wine on
# the example media folders and shows what the started program saw.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh windows-x64 windows-x86 >/dev/null
echo "Built: build/windows-x64/Start.exe and build/windows-x86/Start.exe"

# The 64-bit loader itself: with 32-bit Wine installed (the tests use it),
# Debian's `wine` wrapper would take the 32-bit one.
wine64=/usr/lib/wine/wine64
export WINEPREFIX="$PWD/build/wine-demo" WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d"
export WINELOADER=$wine64 QEMU_RESERVED_VA=0x7fff0000
if [ ! -d "$WINEPREFIX" ]; then
  echo "Preparing a Wine prefix (once, takes a few seconds)..."
  "$wine64" wineboot -i >/dev/null 2>&1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
recorder=build/windows-x64/recorder.exe

# Runs a media folder's launcher ($2, relative) and prints the record.
show() {
  local media=$1 launcher=$2 record="$work/record.txt"
  rm -f "$record"
  echo
  echo "== examples/$(basename "$media"): wine $launcher"
  [ -f "$media/$(dirname "$launcher")/Start.ini" ] &&
    sed 's/^/   Start.ini | /; s/\r$//' "$media/$(dirname "$launcher")/Start.ini"
  local code=0
  (cd "$media" && START_RECORD="Z:${record//\//\\}" "$wine64" "$launcher") || code=$?
  echo "   Start.exe ended with exit code $code"
  for _ in $(seq 50); do [ -s "$record" ] && break; sleep 0.2; done
  if [ ! -s "$record" ]; then echo "   nothing was started"; return; fi
  IFS=$'\t' read -r program directory command_line < "$record"
  echo "   The started program saw:"
  echo "     its path:          $program"
  echo "     current directory: $directory"
  echo "     command line:      ${command_line%$'\r'}"
}

cp -r examples/cd-installer "$work/cd-installer"
cp build/windows-x64/Start.exe "$work/cd-installer/Start.exe"
cp "$recorder" "$work/cd-installer/Setup/Setup.exe"
show "$work/cd-installer" Start.exe

cp -r examples/plain-cd "$work/plain-cd"
cp build/windows-x64/Start.exe "$work/plain-cd/CD/Start.exe"
cp "$recorder" "$work/plain-cd/Installer/Start.exe"
show "$work/plain-cd" CD/Start.exe

# The checker explains a folder without starting anything: here the
# elevated-installer example, whose Setup\Setup.exe has not been put in yet.
cp -r examples/elevated-installer "$work/elevated-installer"
cp build/windows-x64/Start.exe "$work/elevated-installer/Start.exe"
checker="$PWD/build/windows-x64/startcheck.exe"
echo
echo "== examples/elevated-installer: wine startcheck.exe Start.exe"
code=0
(cd "$work/elevated-installer" && "$wine64" "$checker" Start.exe) > "$work/check.txt" || code=$?
sed 's/^/   /; s/\r$//' "$work/check.txt"
echo "   startcheck ended with exit code $code"
