#!/usr/bin/env bash
# Sets up the machine, builds the program (x86_64 and the shipped i686 one) and starts the x86_64
# program under Wine on the current display.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

for preset in win64 win32; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target palvotrix
done

echo "built build/win64/app/palvotrix.exe and build/win32/app/palvotrix.exe (shipped)"

if [ -n "${DISPLAY:-}" ]; then
  scripts/with-wine.sh wine build/win64/app/palvotrix.exe
else
  echo "DISPLAY is not set: not starting the window program (scripts/screenshot.sh shows it on a virtual display)"
fi
