#!/usr/bin/env bash
# Sets up the machine, builds every configuration and runs every test: the release package's check,
# the core and the command-line program natively under AddressSanitizer and UndefinedBehaviorSanitizer,
# as 64-bit and as 32-bit code, the core under ThreadSanitizer, the reader, processing and writer
# under libFuzzer for about a minute, and the Windows programs of the x86_64 and of the shipped i686
# build under Wine. The load test, minutes long, runs on one Windows build only: the shipped one where this
# machine runs 32-bit code.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/check-format.sh

presets=(native-san native-tsan win64 win32)
if reason_32bit="$(scripts/runs-32bit.sh)"; then
  presets+=(native32-san)
  load_build=win32
else
  load_build=win64
fi

for preset in "${presets[@]}"; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

scripts/check-package.sh
scripts/fuzz.sh 60
ctest --test-dir build/native-san --output-on-failure
ctest --test-dir build/native-tsan --output-on-failure --tests-regex '^(core|cli)_'
if [ "$load_build" = win32 ]; then
  ctest --test-dir build/native32-san --output-on-failure
  scripts/with-wine.sh ctest --test-dir build/win64 --output-on-failure --label-exclude load
  scripts/with-wine.sh ctest --test-dir build/win32 --output-on-failure
else
  scripts/with-wine.sh ctest --test-dir build/win64 --output-on-failure
fi

if [ "$load_build" = win64 ]; then
  echo "test: skipped the 32-bit Linux tests (native32-san): $reason_32bit"
  echo "test: skipped the shipped i686 build's tests under Wine (build/win32, built but not run): $reason_32bit"
fi
