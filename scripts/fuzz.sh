#!/usr/bin/env bash
# Builds the fuzz target with clang, makes its seed corpus and fuzzes the reader, the processing and
# the writer for a bounded time (default 60 s). A finding fails the run; the input that caused it
# is left in build/fuzz/findings/ and the log in build/fuzz/fuzz.log. The corpus grows in
# build/fuzz/corpus from run to run.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
build="${PALVOTRIX_FUZZ_BUILD:-build/fuzz}"

cmake -S fuzz -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build"

rm -rf "$build/seeds"
"$build/fuzz_seeds" "$build/seeds"
mkdir -p "$build/corpus" "$build/findings"
log="$build/fuzz.log"
if ! "$build/wave_fuzzer" -max_total_time="$seconds" -max_len=16384 -timeout=10 -rss_limit_mb=2048 \
  -dict=fuzz/wave.dict -print_final_stats=1 -artifact_prefix="$build/findings/" \
  "$build/corpus" "$build/seeds" >"$log" 2>&1; then
  tail -n 60 "$log"
  echo "fuzzing found a fault; the input is in $build/findings/" >&2
  exit 1
fi
grep -E '^#[0-9]+[[:space:]]+DONE|^stat::' "$log"
