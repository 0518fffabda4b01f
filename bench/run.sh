#!/usr/bin/env bash
# Builds the benchmarks, generates their input once and runs them.
#   bench/run.sh [SOURCE_FILES [RECORDS_PER_FILE [DATA_FILES]]]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQARPOST_BENCH=ON -DQARPOST_TESTS=OFF >/dev/null
cmake --build build-bench -j "$(nproc)"
input=build-bench/load-input-${1:-20000}-${2:-100}-${3:-100}
if [ ! -f "$input/MON.sym" ]; then
  build-bench/bench/qarpost_generate_load_input "$input" "${1:-20000}" "${2:-100}" "${3:-100}"
fi
QARPOST_BENCH_DIR="$input" build-bench/bench/qarpost_load_benchmark
