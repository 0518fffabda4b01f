#!/usr/bin/env bash
# Builds qarpost and runs it on the bundled example inputs in examples/.
# The install and build steps stay quiet unless they fail; then their output
# is shown and the script stops.
set -euo pipefail
cd "$(dirname "$0")/.."
log=$(mktemp)
trap 'rm -f "$log"' EXIT
quietly() {
  if ! "$@" >"$log" 2>&1; then
    cat "$log" >&2
    exit 1
  fi
}
quietly scripts/install-deps.sh
quietly cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
quietly cmake --build build -j "$(nproc)" --target qarpost
cd examples
../build/qarpost MON.sym run1.dat run2.dat -p -
