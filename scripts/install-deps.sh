#!/usr/bin/env bash
# Installs what building and testing the launcher needs on Debian 12, once:
# packages already present are not asked for again.
set -euo pipefail

packages=(
  cmake g++ make python3 libgtest-dev libgmock-dev
  g++-mingw-w64-x86-64 g++-mingw-w64-i686
  wine wine64 icoutils locales
  clang libclang-rt-14-dev clang-tidy cppcheck hyperfine
  nlohmann-json3-dev python3-jsonschema
)
# Installs those of the given packages that are not installed yet.
install_missing() {
  local missing=() package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$package")
  done
  if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
  fi
}
install_missing "${packages[@]}"


# 32-bit Wine, for running the x86 launcher. The kernel here runs no 32-bit
# code, so Wine's 32-bit loader runs under qemu-i386, registered with
# binfmt_misc (flag F: the interpreter is opened now, so it works inside any
# mount namespace). Every Wine call then needs QEMU_RESERVED_VA (see
# tests/e2e/wine_prefix.py).
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  apt-get update -qq
fi
install_missing wine32:i386 qemu-user-static
binfmt=/proc/sys/fs/binfmt_misc
[ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
if [ ! -e "$binfmt/qemu-i386" ]; then
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
    > "$binfmt/register"
fi

# Wine takes its ANSI code page from the Unix locale; the double-byte test
# runs under Japanese (code page 932). Listed in locale.gen, so that a later
# package's trigger, which rebuilds the locales from that list, keeps it (a
# bare localedef was seen lost that way).
if ! grep -qx 'ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
  echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
fi
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  locale-gen >/dev/null
fi
