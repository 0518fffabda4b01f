#!/usr/bin/env bash
# The lines lost and gained against a baseline agree with a comparison of the
# two runs' LCOV exports line by line, for every pair of the bundled
# example's runs (one run, the other, both).
#   check_baseline_against_lcov.sh QARPOST_EXPORT EXAMPLES_DIR
set -euo pipefail
export_program=$(realpath "$1")
examples=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
cp "$examples"/MON.sym "$examples"/qar.ini "$examples"/run1.dat "$examples"/run2.dat .
export SOURCE_DATE_EPOCH=0 TZ=UTC
declare -A data=([run1]="run1.dat" [run2]="run2.dat" [both]="run1.dat run2.dat")
for run in run1 run2 both; do
  # shellcheck disable=SC2086
  "$export_program" MON.sym ${data[$run]} --json "$run.json" --lcov "$run.info"
done
for old in run1 run2 both; do
  for now in run1 run2 both; do
    [ "$old" = "$now" ] && continue
    # shellcheck disable=SC2086
    "$export_program" MON.sym ${data[$now]} --baseline "$old.json" --json "compare.json"
    /usr/bin/python3 - "$old.info" "$now.info" compare.json "$old -> $now" <<'PY'
import json, sys

def lines(name):
    hits, source = {}, None
    for text in open(name):
        text = text.rstrip("\n")
        if text.startswith("SF:"):
            source = text[3:]
        elif text.startswith("DA:"):
            line, count = text[3:].split(",")[:2]
            hits[(source, int(line))] = int(count) > 0
    return hits

before, now = lines(sys.argv[1]), lines(sys.argv[2])
expected = {
    "lost": sum(1 for k, c in before.items() if c and k in now and not now[k]),
    "gained": sum(1 for k, c in before.items() if not c and k in now and now[k]),
    "removed": sum(1 for k in before if k not in now),
    "new_covered": sum(1 for k, c in now.items() if c and k not in before),
    "new_uncovered": sum(1 for k, c in now.items() if not c and k not in before),
}
summary = json.load(open(sys.argv[3]))["baseline"]["summary"]["lines"]
got = {key: summary[key] for key in expected}
if got != expected:
    sys.exit(f"{sys.argv[4]}: baseline says {got}, the LCOV exports {expected}")
print(f"{sys.argv[4]}: {got}")
PY
  done
done
