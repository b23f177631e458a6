#!/usr/bin/env bash
# Runs a command with Wine ready for the Windows programs: a display (a private virtual one when
# DISPLAY is unset), a private Wine prefix under build/, Japanese locale, no dialogs that could wait
# for a user. Afterwards the Wine server and the display it started are stopped; the command's exit
# status is this script's.
#
#   scripts/with-wine.sh CMD [ARG...]
#
# WINEPREFIX may be set to use another prefix. Runs on one prefix take turns, because stopping the
# Wine server ends every program of that prefix.
set -euo pipefail

[ $# -ge 1 ] || { echo "usage: $0 CMD [ARG...]" >&2; exit 2; }

repo="$(cd "$(dirname "$0")/.." && pwd)"
export WINEPREFIX="${WINEPREFIX:-$repo/build/wine-prefix}"
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG="${WINEDEBUG:--all}"
export LANG=ja_JP.UTF-8
export LC_ALL=ja_JP.UTF-8

xvfb_pid=""
display_file=""

start_virtual_display() {
  display_file="$(mktemp)"
  # -displayfd lets Xvfb choose a free display number, so concurrent runs do not clash.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" 9>&- >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$display_file" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || { echo "Xvfb did not start" >&2; exit 1; }
    sleep 0.1
  done
  [ -s "$display_file" ] || { echo "Xvfb did not report a display" >&2; exit 1; }
  export DISPLAY=":$(head -n1 "$display_file")"
}

create_prefix() {
  [ -f "$WINEPREFIX/.palvotrix-ready" ] && return 0
  mkdir -p "$WINEPREFIX"
  timeout 300 wineboot --init >/dev/null 2>&1 9>&-
  # A crash would otherwise open a dialog and wait for a click forever.
  timeout 60 wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 9>&-
  timeout 60 wineserver -w 9>&-
  touch "$WINEPREFIX/.palvotrix-ready"
}

stop_all() {
  # Waiting first lets Wine's own background processes end by themselves; killing them mid-way
  # makes them print socket errors into the output.
  timeout 30 wineserver -w >/dev/null 2>&1 || true
  timeout 30 wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  [ -z "$display_file" ] || rm -f "$display_file"
}

mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9

trap stop_all EXIT
[ -n "${DISPLAY:-}" ] || start_virtual_display
create_prefix

status=0
"$@" 9>&- || status=$?
exit "$status"
