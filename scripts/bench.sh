#!/usr/bin/env bash
# Builds the optimised native configuration and runs the benchmark of the per-file job. Its large
# input files are made under build/bench-data and deleted at the end. Extra arguments go to the
# benchmark (--quick for small files, --keep to keep the files for another run).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native --target palvotrix-bench
build/native/bench/palvotrix-bench "$@" build/bench-data
