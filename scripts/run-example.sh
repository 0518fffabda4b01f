#!/usr/bin/env bash
# Builds qarpost and runs it on the bundled example inputs in examples/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target qarpost
cd examples
exec ../build/qarpost MON.sym run1.dat run2.dat -p -
