#!/usr/bin/env bash
# What `--diff` adds to an export of the four formats: instructions
# (callgrind, repeatable on a shared machine) of the same run with and
# without a diff that touches every tenth written file and changes every
# seventh line of it, up to its highest line with line coverage.
#
#   bench/patch_cost.sh CASE_DIR [QARPOST_EXPORT]
#
# CASE_DIR holds MON.sym and run_*.dat (a case of bench/suite.sh, for
# instance build-bench/suite/size-10); QARPOST_EXPORT defaults to the
# suite's build. The diff is written to CASE_DIR/../patch-cost/change.diff.
set -euo pipefail
cd "$(dirname "$0")/.."
case_dir=$(realpath "$1")
export_program=$(realpath "${2:-build-bench/qarpost-export}")
work=$(realpath -m "$case_dir/../patch-cost-$(basename "$case_dir")")
mkdir -p "$work"
cd "$work"
printf 'TICK = 1000\nTIMER = clock\nEXECUTION_COST_TYPE = clockticks\n' > qar.ini
export TZ=UTC SOURCE_DATE_EPOCH=1764950400
inputs=("$case_dir/MON.sym" "$case_dir"/run_*.dat)

# The diff: from the LCOV export, each tenth file's highest line with line
# coverage; a one-line hunk for every seventh line up to it.
"$export_program" "${inputs[@]}" --lcov "$work/all.info" >/dev/null
awk '
  /^SF:/ { name = substr($0, 4); high = 0; next }
  /^DA:/ { split(substr($0, 4), f, ","); if (f[1] + 0 > high) high = f[1] + 0; next }
  /^end_of_record/ {
    if (count++ % 10 == 0 && high >= 7) {
      printf "diff --git a/%s b/%s\n--- a/%s\n+++ b/%s\n", name, name, name, name
      for (line = 7; line <= high; line += 7) {
        printf "@@ -%d +%d @@\n-old line %d\n+new line %d\n", line, line, line, line
        touched++
      }
      files++
    }
  }
  END { printf "%d files, %d changed lines\n", files, touched > "/dev/stderr" }
' "$work/all.info" > "$work/change.diff"

count() {
  local out=$work/callgrind.$1
  shift
  valgrind --tool=callgrind --callgrind-out-file="$out" "$export_program" "${inputs[@]}" \
    --lcov "$work/out.info" --cobertura "$work/out.cobertura.xml" --sonarqube "$work/out.sonar.xml" \
    --json "$work/out.json" "$@" >/dev/null 2>"$work/valgrind.log"
  grep -o 'Collected : [0-9]*' "$work/valgrind.log" | awk '{ print $3 }'
}
without=$(count without)
with=$(count with --diff "$work/change.diff")
awk -v a="$without" -v b="$with" \
  'BEGIN { printf "without --diff %.3f G instructions, with %.3f G: ratio %.4f\n", a / 1e9, b / 1e9, b / a }'
