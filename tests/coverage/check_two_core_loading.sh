#!/usr/bin/env bash
# Loading and walking on two cores (QARPOST_DATA_ALONGSIDE=always: the data
# files read on a second thread beside the symbol files, or ahead of adding;
# QARPOST_PREPARATION_ALONGSIDE=always: the preparation pass split over two
# threads, and =ahead: header code compared on the second thread before
# extraction; QARPOST_WALK_PARTS=always: every report's walk split into parts,
# one a file, walked on two threads) gives what doing it all in turn (all
# =never) gives: the streams, the status and every file of qarpost and
# qarpost-export, on clean runs, with notices, and ending in errors. And
# every end-to-end case gives its expected outputs that way.
#   check_two_core_loading.sh QARPOST QARPOST_EXPORT QARPOST_SYNTH RUN_CASE E2E_CASES
set -euo pipefail
qarpost=$(realpath "$1")
export_program=$(realpath "$2")
synth=$(realpath "$3")
run_case=$(realpath "$4")
cases=$(realpath "$5")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TZ=UTC SOURCE_DATE_EPOCH=1764950400
unset QARPOST_DATA_ALONGSIDE QARPOST_PREPARATION_ALONGSIDE QARPOST_WALK_PARTS
fail() { echo "check_two_core_loading: $*" >&2; exit 1; }

# The end-to-end cases, loaded on two cores.
checked=0
for case_dir in "$cases"/*/; do
  name=$(basename "$case_dir")
  copy="$work/cases/$name"
  mkdir -p "$work/cases"
  cp -R "$case_dir" "$copy"
  { [ -f "$copy/env" ] && cat "$copy/env" && echo
    printf 'QARPOST_DATA_ALONGSIDE=always\nQARPOST_PREPARATION_ALONGSIDE=always\nQARPOST_WALK_PARTS=always\n'; } > "$copy/env.new"
  mv "$copy/env.new" "$copy/env"
  bash "$run_case" "$qarpost" "$copy" "$export_program" > "$work/case.log" 2>&1 ||
    { cat "$work/case.log" >&2; fail "e2e case $name differs loaded on two cores"; }
  checked=$((checked + 1))
done
[ "$checked" -gt 100 ] || fail "only $checked end-to-end cases found"

# A generated project, and the data files of another one: blocks of files
# not described and of other instrumentations.
cd "$work"
"$synth" gen --seed 11 --files 120 --runs 4 > /dev/null
"$synth" other --seed 12 --files 60 --runs 2 > /dev/null
printf 'TICK = 1000\nTIMER = clock\nEXECUTION_COST_TYPE = clockticks\n' > gen/qar.ini
cp other/run_000.dat gen/other_0.dat
cp other/run_001.dat gen/other_1.dat
head -c "$(($(stat -c %s gen/run_002.dat) / 2))" gen/run_002.dat > gen/cut.dat
head -c "$(($(stat -c %s gen/MON.sym) / 2))" gen/MON.sym > gen/cut.sym
echo "END OF SYMBOLFILE" >> gen/cut.sym

# run WAY DIR PROGRAM ARGS...: runs PROGRAM in a copy of gen as DIR.
run() {
  local way=$1 dir=$work/$2 program=$3
  shift 3
  cp -R "$work/gen" "$dir"
  set +e
  # "ahead": as always, with every source's header code compared on the
  # second thread before extraction takes it.
  local both=$way
  [ "$way" = ahead ] && both=always
  (cd "$dir" && QARPOST_DATA_ALONGSIDE=$both QARPOST_PREPARATION_ALONGSIDE=$way QARPOST_WALK_PARTS=$both \
    "$program" "$@" > .stdout 2> .stderr)
  echo $? > "$dir/.status"
  set -e
}

# compare NAME PROGRAM ARGS...: the same run both ways, every file alike.
compare() {
  local name=$1
  shift
  run never "$name-n" "$@"
  run always "$name-a" "$@"
  run ahead "$name-h" "$@"
  diff -r "$work/$name-n" "$work/$name-a" > "$work/diff" || { head -20 "$work/diff" >&2; fail "$name differs"; }
  diff -r "$work/$name-n" "$work/$name-h" > "$work/diff" || { head -20 "$work/diff" >&2; fail "$name differs (ahead)"; }
}

data=(run_000.dat run_001.dat run_002.dat run_003.dat)
compare clean "$qarpost" MON.sym "${data[@]}" -p p.txt -u u.txt -t t.txt -x r.xml
[ "$(cat clean-a/.status)" = 0 ] && [ -s clean-a/r.xml ] || fail "clean: $(tail -1 clean-a/.stderr)"

compare notices "$qarpost" MON.sym run_000.dat other_0.dat run_001.dat other_1.dat -p p.txt
grep -q "QARPost notice" notices-a/.stderr || fail "notices: the other project's blocks raised none"

compare bad_data "$qarpost" MON.sym run_000.dat other_0.dat cut.dat run_003.dat -u u.txt
[ "$(tail -1 bad_data-a/.stderr)" = "QARPost error 2: Bad data file cut.dat" ] ||
  fail "bad data file: $(tail -1 bad_data-a/.stderr)"

compare bad_symbols "$qarpost" cut.sym run_000.dat other_0.dat cut.dat -p p.txt
grep -q "error 5" bad_symbols-a/.stderr && ! grep -q "cut.dat\|notice" bad_symbols-a/.stderr ||
  fail "bad symbol file: $(cat bad_symbols-a/.stderr)"

compare export "$export_program" MON.sym run_000.dat other_0.dat run_001.dat --lcov l.info --json j.json
[ -s export-a/l.info ] || fail "export: $(tail -1 export-a/.stderr)"

compare export_bad "$export_program" MON.sym run_000.dat cut.dat --lcov l.info
[ "$(cat export_bad-a/.status)" != 0 ] || fail "export with a bad data file succeeded"

# Adding data files: the blocks read on a second thread while the run
# merges them; blocks of other instrumentations replace or are passed over
# with notices, and a cut file ends the run after the blocks before it.
compare add "$qarpost" run_000.dat other_0.dat run_001.dat other_1.dat run_000.dat -a sum.dat
[ "$(cat add-a/.status)" = 0 ] && [ -s add-a/sum.dat ] && grep -q "QARPost notice" add-a/.stderr ||
  fail "add: $(tail -1 add-a/.stderr)"

compare add_bad "$qarpost" run_000.dat other_0.dat cut.dat run_003.dat -a sum.dat
[ "$(tail -1 add_bad-a/.stderr)" = "QARPost error 2: Bad data file cut.dat" ] && [ ! -e add_bad-a/sum.dat ] ||
  fail "adding a bad data file: $(tail -1 add_bad-a/.stderr)"

echo "check_two_core_loading: $checked end-to-end cases and 8 generated runs alike both ways"
