#!/usr/bin/env bash
# Sets up the machine, builds the program (x86_64 and the shipped i686 one) and starts the x86_64
# program under Wine on the current display; without a display, runs the command-line program on
# generated example files.
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
  exit 0
fi

# Without a display there is no window to show: run the command-line program on example files
# instead, so that the program's main job can be seen on any machine.
echo "DISPLAY is not set: showing the command-line program instead (scripts/screenshot.sh shows the window on a virtual display)"
cmake --preset native >/dev/null
cmake --build --preset native --target palvotrix-cli
demo=build/cli-demo
rm -rf "$demo"
mkdir -p "$demo/in" "$demo/out"
# Each example has silence before and after it, for the trimming to cut; plain PCM headers and
# no dither, so that the silence stays digital silence.
sox -D -n -r 44100 -b 16 -c 2 -t wavpcm "$demo/in/tone.wav" synth 2 sine 440 pad 0.5 0.8 vol 0.5
sox -D -n -r 48000 -b 24 -c 1 -t wavpcm "$demo/in/sweep.wav" synth 3 sine 100-4000 pad 1 1 vol 0.3
sox -D -n -r 22050 -b 8 -c 1 -t wavpcm "$demo/in/noise.wav" synth 1 pinknoise pad 0.25 0.25 vol 0.2
printf 'not a WAV file\n' >"$demo/in/broken.wav"
echo
echo "palvotrix-cli --volume-db 3 --head-threshold -50 --head-margin 0.1 --tail-threshold -50 --tail-margin 0.2 -o $demo/out $demo/in/*.wav"
status=0
build/native/cli/palvotrix-cli --volume-db 3 --head-threshold -50 --head-margin 0.1 \
  --tail-threshold -50 --tail-margin 0.2 -o "$demo/out" "$demo"/in/*.wav || status=$?
echo "exit status: $status (1: a file could not be processed)"
echo
for f in "$demo"/out/*.wav; do
  name=$(basename "$f")
  printf '%-10s %6.3f s -> %6.3f s\n' "$name" "$(soxi -D "$demo/in/$name")" "$(soxi -D "$f")"
done
