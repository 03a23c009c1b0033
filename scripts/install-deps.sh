#!/usr/bin/env bash
# Installs what building and testing the launcher needs on Debian 12, once:
# packages already present are not asked for again.
set -euo pipefail

packages=(
  cmake g++ make python3 libgtest-dev libgmock-dev
  g++-mingw-w64-x86-64 g++-mingw-w64-i686
  wine wine64 icoutils locales
  clang libclang-rt-14-dev clang-tidy cppcheck hyperfine
)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# Wine takes its ANSI code page from the Unix locale; the double-byte test
# runs under Japanese (code page 932).
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
