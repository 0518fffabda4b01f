#!/usr/bin/env bash
# An export output whose closing fails (as a network file system reports a
# lost write only then): the run names it with ErrorCode 6 and ends with
# status 1, the other outputs are complete, and the file that stood under
# the name before stays as it was, with no temporary file left beside it.
#   check_failed_close.sh QARPOST_EXPORT PRELOAD EXAMPLES_DIR
set -euo pipefail
export_program=$(realpath "$1")
preload=$(realpath "$2")
examples=$(realpath "$3")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "check_failed_close: $*" >&2; exit 1; }

cp "$examples"/{MON.sym,run1.dat,run2.dat,qar.ini} "$work/"
cd "$work"
printf 'earlier run\n' > coverage.info
# The preloaded library does not come first in a sanitized build.
status=0
env ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0" LD_PRELOAD="$preload" \
  QARPOST_FAIL_CLOSE=coverage.info TZ=UTC SOURCE_DATE_EPOCH=1764950400 \
  "$export_program" MON.sym run1.dat run2.dat --lcov coverage.info --json coverage.json 2> stderr.txt || status=$?

[ "$status" = 1 ] || fail "status $status, expected 1"
expected='QARPost error 6: Cannot close file coverage.info: Input/output error'
[ "$(cat stderr.txt)" = "$expected" ] || fail "standard error: $(cat stderr.txt)"
[ "$(cat coverage.info)" = 'earlier run' ] || fail "coverage.info was not kept"
python3 -c 'import json, sys; json.load(open(sys.argv[1]))' coverage.json || fail "coverage.json is not complete"
leftovers=$(find . -name '.*.tmp')
[ -z "$leftovers" ] || fail "temporary files left: $leftovers"

# Without the failure the same run writes both.
env TZ=UTC SOURCE_DATE_EPOCH=1764950400 "$export_program" MON.sym run1.dat run2.dat \
  --lcov coverage.info --json coverage.json 2> stderr.txt || fail "the run without a fault failed"
grep -q '^end_of_record$' coverage.info || fail "coverage.info not written without the fault"
echo "check_failed_close: a failed close is named and keeps the earlier file"
