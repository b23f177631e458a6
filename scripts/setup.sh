#!/usr/bin/env bash
# Installs, from Debian's packages only, everything the build, the tests and the benchmark need.
# Safe to run again: packages already present are left alone.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  # The native builds, their tests and the format check
  cmake ninja-build g++ googletest libgtest-dev clang-format
  # The 32-bit native build, and the fuzzer with the sanitizers' runtimes
  g++-multilib clang libclang-rt-14-dev
  # The two Windows builds
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  # The Windows programs and tests under Wine, on a private display; the screenshot
  wine wine64
  xvfb xauth x11-utils imagemagick fonts-ipafont-gothic fonts-wine
  # The example files of scripts/run.sh and the benchmark's comparison
  sox
  # The release package: its zip writer and its check
  python3 unzip
  # setfacl and getfacl, for the tests of a replaced file's ACL
  acl
  # The Japanese locale the Windows programs run in
  locales
)

# Runs the shipped i686 Windows programs; installed only where the kernel runs 32-bit code.
packages_32bit=(wine32:i386)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

# Installs those of the given packages that are not installed yet.
install_missing() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

install_missing "${packages[@]}"

# The package lists of a newly added architecture arrive with the next apt-get update, which
# install_missing runs because the i386 packages are then still missing.
if reason="$(scripts/runs-32bit.sh)"; then
  dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
  install_missing "${packages_32bit[@]}"
else
  echo "setup: $reason: wine32 is not installed; the 32-bit tests will be skipped"
fi

# The Windows programs run under Wine with a Japanese locale, as their captions are Japanese.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  $sudo sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen >/dev/null
fi
