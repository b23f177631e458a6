#!/usr/bin/env bash
# Succeeds when this machine can build and run 32-bit x86 programs: it compiles a tiny one with
# g++ -m32 and starts it. Otherwise prints the reason on one line and fails. Some kernels are
# built without 32-bit support, so trying is the only sure answer.
set -euo pipefail

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

if ! echo 'int main() { return 0; }' | g++ -m32 -static -x c++ - -o "$work/probe" 2>/dev/null; then
  echo "no 32-bit x86 compiler (g++ -m32, Debian's g++-multilib)"
  exit 1
fi
if ! error="$("$work/probe" 2>&1)"; then
  echo "the kernel does not run 32-bit x86 programs (${error##*: })"
  exit 1
fi
