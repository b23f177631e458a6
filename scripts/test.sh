#!/usr/bin/env bash
# Sets up the machine, builds every configuration and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

for preset in native-san win64 win32; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

ctest --test-dir build/native-san --output-on-failure
scripts/with-wine.sh ctest --test-dir build/win64 --output-on-failure

# The reader, the processing and the writer under libFuzzer for about a minute.
scripts/fuzz.sh 60
