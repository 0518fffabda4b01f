#!/usr/bin/env bash
# Checks a generated project end to end: every run mode accepts it, most
# functions get statement figures, headers are extracted (and a differing
# copy is noticed), the multicondition records give MC/DC lines, and the data
# files added into one give the same figures as the data files one by one.
#   check_synth.sh QARPOST QARPOST_SYNTH
set -euo pipefail
qarpost=$(realpath "$1")
synth=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export TZ=UTC SOURCE_DATE_EPOCH=1764950400
printf 'TICK = 1000\nTIMER = clock\nEXECUTION_COST_TYPE = clockticks\n' > qar.ini

fail() { echo "check_synth: $*" >&2; exit 1; }

"$synth" gen --seed 11 --files 400 --runs 5 > /dev/null
cd gen
cp ../qar.ini .
# The same seed gives the same files.
"$synth" ../again --seed 11 --files 400 --runs 5 > /dev/null
for f in MON.sym run_000.dat run_004.dat; do cmp -s "$f" "../again/$f" || fail "$f differs between two runs of one seed"; done

"$qarpost" MON.sym run_*.dat -fmcdc -p profile.txt -u untested.txt -t timing.txt -x report.xml 2> notices.txt \
  || fail "reports failed: $(head -3 notices.txt)"
if grep -v '^QARPost notice: Header file ' notices.txt | grep -q .; then
  fail "unexpected diagnostics: $(grep -v '^QARPost notice: Header file ' notices.txt | head -3)"
fi
grep -q 'is different from what it was when it was extracted previously' notices.txt \
  || fail "no differing header copy was noticed"
"$qarpost" -l MON.sym run_*.dat > contents.txt || fail "contents listing failed"
"$qarpost" run_*.dat -a all.dat || fail "adding data files failed"
"$qarpost" MON.sym all.dat -fmcdc -p added.txt 2> /dev/null || fail "report of the added data failed"

functions=$(sed -n 's/^Functions *: *\([0-9]*\)$/\1/p' profile.txt)
not_available=$(sed -n 's/.*statement (N\.A\. for \([0-9]*\) functions)$/\1/p' profile.txt | tail -1)
headers=$(sed -n 's/^Headers extracted *: *\([0-9]*\)$/\1/p' profile.txt)
[ -n "$functions" ] && [ "$functions" -gt 1000 ] || fail "too few functions: ${functions:-none}"
[ $((${not_available:-0} * 10)) -lt "$functions" ] || fail "$not_available of $functions functions without statement figures"
[ "$(grep -c '^ *N\.A\. statement$' profile.txt || true)" -eq 0 ] || fail "functions of decision files without statement figures"
[ "${headers:-0}" -ge 5 ] || fail "only ${headers:-0} headers extracted"
grep -q 'MC/DC (cond 3)' profile.txt || fail "no multicondition of three conditions"
grep -q 'FUNCTION.*Table<T>::' profile.txt || fail "no template functions"
for text in '  try' '  catch (' '[&](int value)' '  goto cleanup' '  switch (' '  do-while (' '  default:'; do
  grep -qF -- "$text" profile.txt || fail "no \"$text\" line in the profile listing"
done
grep -q 'FUNCTION' timing.txt && grep -q '</' report.xml || fail "timing listing or XML report empty"
# Every source is listed once from the symbol file and once per data block.
[ "$(grep -c 'src/module_' contents.txt)" -gt 400 ] || fail "contents listing misses files"
# Adding changes where the counts come from, not what they are.
diff <(sed -n '/^MONITORED/,$p' profile.txt) <(sed -n '/^MONITORED/,$p' added.txt) > /dev/null \
  || fail "the added data file gives other figures than its parts"
echo "check_synth: $functions functions, ${not_available:-0} without statement figures, $headers headers"
