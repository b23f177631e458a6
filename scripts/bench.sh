#!/usr/bin/env bash
# Builds the optimised native configuration and runs the benchmark of the per-file job and of the
# command-line program on many small files; where this machine runs 32-bit code, also builds the
# i686 command-line program and the driver of the window's run for the benchmark to run under Wine.
# The input files are made under build/bench-data; they and every output are deleted at the end,
# also when the run fails. Extra arguments go to the benchmark (--quick for small files and fewer
# of them, --keep to keep the input files for another run, --outputs=FOLDER for the outputs, e.g.
# a folder on tmpfs).
set -euo pipefail
cd "$(dirname "$0")/.."

work=build/bench-data
keep=false
outputs="$work"
for arg in "$@"; do
  case "$arg" in
    --keep) keep=true ;;
    --outputs=*) outputs="${arg#--outputs=}" ;;
  esac
done

clean_up() {
  rm -rf "$work/out" "$outputs/out" "$work/out-many" "$outputs/out-many"
  if [ "$keep" = false ]; then
    rm -rf "$work"
  fi
}
trap clean_up EXIT

scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native --target palvotrix-bench palvotrix-cli

win32=()
if reason="$(scripts/runs-32bit.sh)"; then
  cmake --preset win32 >/dev/null
  cmake --build --preset win32 --target palvotrix-cli window_run
  # Makes the Wine prefix now, when it is missing, rather than inside the first timed run.
  scripts/with-wine.sh true
  win32=(--win32-cli=build/win32/cli/palvotrix-cli.exe --win32-window=build/win32/tests/batch/window_run.exe)
else
  echo "The i686 program's runs under Wine are skipped: $reason"
fi

build/native/bench/palvotrix-bench --cli=build/native/cli/palvotrix-cli "${win32[@]}" "$@" "$work"
