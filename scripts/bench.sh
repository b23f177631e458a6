#!/usr/bin/env bash
# Builds the optimised native configuration and runs the benchmark of the per-file job; where this
# machine runs 32-bit code, also builds the i686 command-line program for the benchmark to run
# under Wine. The input files are made under build/bench-data; they and every output are deleted at
# the end, also when the run fails. Extra arguments go to the benchmark (--quick for small files,
# --keep to keep the input files for another run, --outputs=FOLDER for the outputs).
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
  rm -rf "$work/out" "$outputs/out"
  if [ "$keep" = false ]; then
    rm -rf "$work"
  fi
}
trap clean_up EXIT

scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native --target palvotrix-bench

win32=()
if reason="$(scripts/runs-32bit.sh)"; then
  cmake --preset win32 >/dev/null
  cmake --build --preset win32 --target palvotrix-cli
  # Makes the Wine prefix now, when it is missing, rather than inside the first timed run.
  scripts/with-wine.sh true
  win32=(--win32-cli=build/win32/cli/palvotrix-cli.exe)
else
  echo "The i686 program's runs under Wine are skipped: $reason"
fi

build/native/bench/palvotrix-bench "${win32[@]}" "$@" "$work"
