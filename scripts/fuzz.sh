#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan, UBSan) in build-fuzz/ and runs
# each one on its seed corpus for a bounded time; any finding fails.
#   scripts/fuzz.sh [seconds per target]      default 15
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-15}
scripts/install-deps.sh --fuzz
CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DQARPOST_FUZZ=ON -DQARPOST_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j "$(nproc)"
root=$(pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Relative names in an input (MON.sym, ./qar.ini) resolve in an empty folder.
cd "$work"
for target in symbol_file data_file options_file configuration_file export_inputs; do
  echo "== fuzzing ${target} for ${seconds} s"
  mkdir -p "$work/$target"
  # New inputs go to the scratch corpus; the seeds stay untouched.
  "$root/build-fuzz/fuzz/${target}_fuzzer" -max_total_time="$seconds" -runs=100000000 \
    -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$work/$target-" "$work/$target" "$root/tests/fuzz/$target" \
    > "$work/$target.log" 2>&1 || {
      tail -n 60 "$work/$target.log"
      echo "fuzz target ${target} found a problem; its input is kept in build-fuzz/findings/:"
      mkdir -p "$root/build-fuzz/findings"
      for artifact in "$work/$target-"*; do
        [ -f "$artifact" ] || continue
        cp "$artifact" "$root/build-fuzz/findings/"
        od -c "$artifact" | head -n 40
      done
      exit 1
    }
  grep -E '^#[0-9]+[[:space:]]+DONE' "$work/$target.log" || true
done
