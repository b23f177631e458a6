#!/usr/bin/env bash
# Sets up the machine, builds every configuration and runs every test: the core and the
# command-line program natively under AddressSanitizer and UndefinedBehaviorSanitizer, the reader,
# processing and writer under libFuzzer for about a minute, and the Windows programs under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

for preset in native-san win64 win32; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

scripts/fuzz.sh 60
ctest --test-dir build/native-san --output-on-failure
scripts/with-wine.sh ctest --test-dir build/win64 --output-on-failure
