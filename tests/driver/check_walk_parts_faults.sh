#!/usr/bin/env bash
# The reports' walks split into parts on two threads, under faults: each
# run ends exactly as the same run with every walk in one piece
# (QARPOST_WALK_PARTS=never) ends.
#   check_walk_parts_faults.sh QARPOST QARPOST_SYNTH [--full-disk]
#
# With --full-disk the runs write into small file systems (a tmpfs mounted
# in a user and mount namespace of their own); where this machine cannot
# give one, the check is skipped (status 77).
set -euo pipefail
qarpost=$(realpath "$1")
synth=$(realpath "$2")
mode=${3:-}
small_fs=$(dirname "$(realpath "$0")")/../in_small_file_system.sh
fail() { echo "check_walk_parts_faults: $*" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export TZ=UTC SOURCE_DATE_EPOCH=1764950400
unset QARPOST_WALK_PARTS

# About 100,000 record lines: the XML report is about 10 MB, the listings
# 4, 2.3 and 0.1 MB.
"$synth" gen --seed 5 --files 400 --runs 3 > /dev/null
printf 'TICK = 1000\nTIMER = clock\nEXECUTION_COST_TYPE = clockticks\n' > gen/qar.ini
export QARHOME=$work/gen
inputs=("$work/gen/MON.sym" "$work/gen/run_000.dat" "$work/gen/run_001.dat" "$work/gen/run_002.dat")
cd gen

# run WAY DIR [qarpost arguments...]: runs in DIR (created) with the walks
# in parts of a file each (WAY always) or in one piece (never); leaves
# DIR/.status and DIR/.stderr.
run() {
  local way=$1 dir=$2
  shift 2
  mkdir -p "$dir"
  set +e
  (cd "$dir" && QARPOST_WALK_PARTS=$way "$qarpost" "${inputs[@]}" "$@" 2> .stderr)
  echo $? > "$dir/.status"
  set -e
}

# same DIR1 DIR2 LABEL: both runs left the same status, standard error and
# files, byte for byte.
same() {
  cmp -s "$1/.status" "$2/.status" || fail "$3: status $(cat "$1/.status") against $(cat "$2/.status") in turn"
  cmp -s "$1/.stderr" "$2/.stderr" || { diff "$1/.stderr" "$2/.stderr" | head -5 >&2; fail "$3: standard error differs"; }
  [ "$(ls -A "$1")" = "$(ls -A "$2")" ] || fail "$3: files $(ls -A "$1" | tr '\n' ' ') against $(ls -A "$2" | tr '\n' ' ')"
  local file
  for file in $(ls -A "$1"); do
    cmp -s "$1/$file" "$2/$file" || fail "$3: $file differs from the run in turn"
  done
}

if [ "$mode" = --full-disk ]; then
  command -v unshare > /dev/null || exit 77
  unshare --user --map-root-user --mount true 2> /dev/null || exit 77
  run never sizes -p p.txt -u u.txt -t t.txt -x x.xml
  [ "$(cat sizes/.status)" = 0 ] || fail "the run without faults failed"
  kb() { echo $((($(stat -c %s "sizes/$1") + 4095) / 4096 * 4)); }
  listings=$(($(kb p.txt) + $(kb u.txt) + $(kb t.txt)))
  xml=$(kb x.xml)
  # in_fs SIZE WAY DIR PREPARE [arguments...]: runs in DIR on a file system
  # of SIZE kB, after the shell command PREPARE ran in DIR; DIR is copied
  # out to DIR.out.
  in_fs() {
    local size=$1 way=$2 dir=$work/gen/$3 prepare=$4
    shift 4
    mkdir -p "$dir" "$dir.out"
    local status=0
    # Standard error and the status go beside the small file system.
    unshare --user --map-root-user --mount bash "$small_fs" "$size" "$dir" \
      bash -c "cd '$dir' && $prepare && export QARPOST_WALK_PARTS=$way && \
               { \"\$0\" \"\$@\" 2> '$dir.out/.stderr'; echo \$? > '$dir.out/.status'; } && \
               cp -a . '$dir.out/'" \
      "$qarpost" "${inputs[@]}" "$@" || status=$?
    [ "$status" = 77 ] && exit 77
    [ "$status" = 0 ] || fail "could not run in a file system of $size kB"
  }
  # The listings fit, the XML report does not: the listings are complete
  # and the error names the XML report.
  small=$((listings + xml / 2))
  in_fs "$small" always full-a true -p p.txt -u u.txt -t t.txt -x x.xml
  in_fs "$small" never full-n true -p p.txt -u u.txt -t t.txt -x x.xml
  same full-a.out full-n.out "full disk"
  [ "$(cat full-a.out/.status)" = 1 ] || fail "full disk: status $(cat full-a.out/.status)"
  grep -qx "QARPost error 17: Cannot write file x.xml: No space left on device" full-a.out/.stderr ||
    fail "full disk: $(tail -1 full-a.out/.stderr)"
  for listing in p.txt u.txt t.txt; do
    cmp -s "full-a.out/$listing" "sizes/$listing" || fail "full disk: $listing is not complete"
  done
  # A second run into a directory that holds the previous run's XML report:
  # room for the listings beside it and then for the new report.
  again=$((listings + xml + 64))
  in_fs "$again" always again-a "cp '$work/gen/sizes/x.xml' ." -p p.txt -u u.txt -t t.txt -x x.xml
  in_fs "$again" never again-n "cp '$work/gen/sizes/x.xml' ." -p p.txt -u u.txt -t t.txt -x x.xml
  same again-a.out again-n.out "second run"
  [ "$(cat again-a.out/.status)" = 0 ] || fail "second run: $(tail -1 again-a.out/.stderr)"
  # A smaller report stood under the name: the new one is written over it.
  over=$((listings + xml + xml / 2))
  in_fs "$over" always over-a "echo old > x.xml" -p p.txt -u u.txt -t t.txt -x x.xml
  in_fs "$over" never over-n "echo old > x.xml" -p p.txt -u u.txt -t t.txt -x x.xml
  same over-a.out over-n.out "over a smaller report"
  [ "$(cat over-a.out/.status)" = 0 ] || fail "over a smaller report: $(tail -1 over-a.out/.stderr)"
  echo "check_walk_parts_faults: full disks end as the walks in one piece"
  exit 0
fi

# Standard output closed: the listing and the XML report in files, then the
# XML report on the closed standard output.
closed() {
  local way=$1 dir=$2
  shift 2
  mkdir -p "$dir"
  set +e
  (cd "$dir" && QARPOST_WALK_PARTS=$way "$qarpost" "${inputs[@]}" "$@" 2> .stderr >&-)
  echo $? > "$dir/.status"
  set -e
}
closed always closed-a -p p.txt -x x.xml
closed never closed-n -p p.txt -x x.xml
same closed-a closed-n "standard output closed"
[ "$(cat closed-a/.status)" = 0 ] && [ "$(stat -c %s closed-a/x.xml)" -gt 1000000 ] ||
  fail "standard output closed: the XML report is not complete"
closed always closed-xa -p p.txt -x -
closed never closed-xn -p p.txt -x -
same closed-xa closed-xn "XML report on closed standard output"
grep -qx "QARPost error 17: Cannot write file stdout: Bad file descriptor" closed-xa/.stderr ||
  fail "XML report on closed standard output: $(cat closed-xa/.stderr)"

echo "check_walk_parts_faults: closed standard output ends as the walks in one piece"
