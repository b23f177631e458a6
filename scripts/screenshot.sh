#!/usr/bin/env bash
# Saves a picture of the running program's main window as docs/screenshot.png: starts the x86_64
# program under Wine on a virtual display, waits for its window, grabs it and closes the program.
#
#   scripts/screenshot.sh [PROGRAM.exe] [OUTPUT.png]
set -euo pipefail
cd "$(dirname "$0")/.."

program="${1:-build/win64/app/palvotrix.exe}"
output="${2:-docs/screenshot.png}"

if [ "${PALVOTRIX_SCREENSHOT_INSIDE:-}" != 1 ]; then
  [ -f "$program" ] || { echo "$program not found: build the win64 preset first" >&2; exit 1; }
  # A fresh virtual display every time, so the picture does not depend on the user's desktop.
  # Its own Wine prefix, too: there Wine draws the window frame itself, title bar included, as
  # the virtual display has no window manager to draw one.
  exec env -u DISPLAY PALVOTRIX_SCREENSHOT_INSIDE=1 WINEPREFIX="$PWD/build/wine-prefix-screenshot" \
    scripts/with-wine.sh "$0" "$program" "$output"
fi

timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
# The frame's buttons are drawn with Marlett; Debian's Wine does not look where fonts-wine puts it.
if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
  cp -n /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
fi

find_window() {
  xwininfo -root -tree 2>/dev/null | awk '/"Palvotrix"/ { print $1; exit }'
}

# A copy in a fresh folder of its own starts without the settings kept beside the program, so the
# picture shows the window as it first comes up.
fresh=build/screenshot-program
rm -rf "$fresh"
mkdir -p "$fresh"
cp "$program" "$fresh/palvotrix.exe"

timeout 120 wine "$fresh/palvotrix.exe" &
program_pid=$!

window=""
for _ in $(seq 200); do
  window="$(find_window)"
  [ -n "$window" ] && break
  sleep 0.2
done
[ -n "$window" ] || { echo "the main window did not appear" >&2; kill "$program_pid" || true; exit 1; }

# Let the controls finish painting before the grab.
sleep 2
mkdir -p "$(dirname "$output")"
import -window "$window" "$output"
echo "saved $output"

kill "$program_pid" 2>/dev/null || true
wait "$program_pid" 2>/dev/null || true
