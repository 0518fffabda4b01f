#!/usr/bin/env bash
# The XML report written by a second process beside the listings (a run
# large enough for it) gives what writing the reports one after another
# gives: the same report as a run of -x alone, and at its turn the same
# errors, after the same complete listings, with nothing else left behind.
#   check_xml_alongside.sh QARPOST QARPOST_SYNTH
set -euo pipefail
qarpost=$(realpath "$1")
synth=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export TZ=UTC SOURCE_DATE_EPOCH=1764950400
fail() { echo "check_xml_alongside: $*" >&2; exit 1; }

# About 100,000 record lines: above the size from which the second process pays.
"$synth" gen --seed 5 --files 400 --runs 3 > /dev/null
cd gen
printf 'TICK = 1000\nTIMER = clock\nEXECUTION_COST_TYPE = clockticks\n' > qar.ini
inputs=(MON.sym run_000.dat run_001.dat run_002.dat)
options_line() { grep -v '<qarpost_options>' "$1"; }
files_before=$(ls -A)

# A clean run: every report as when written alone.
mkdir all alone
"$qarpost" "${inputs[@]}" -p all/p.txt -u all/u.txt -t all/t.txt -x all/r.xml 2> all/stderr || fail "all four failed"
"$qarpost" "${inputs[@]}" -x alone/r.xml 2> alone/stderr || fail "-x alone failed"
"$qarpost" "${inputs[@]}" -p alone/p.txt 2> /dev/null || fail "-p alone failed"
cmp -s all/stderr alone/stderr || fail "standard error differs from -x alone"
cmp -s <(options_line all/r.xml) <(options_line alone/r.xml) || fail "the XML report differs from -x alone"
cmp -s all/p.txt alone/p.txt || fail "the profile listing differs from -p alone"
[ "$(ls all)" = "$(printf 'p.txt\nr.xml\nstderr\nt.txt\nu.txt')" ] || fail "unexpected files: $(ls all)"

# Both on standard output: the listing, then the XML report.
mkdir stdout
"$qarpost" "${inputs[@]}" -u - -x - > stdout/both 2> /dev/null || fail "both on standard output failed"
"$qarpost" "${inputs[@]}" -u - > stdout/listing 2> /dev/null || fail "-u alone failed"
"$qarpost" "${inputs[@]}" -x - > stdout/xml 2> /dev/null || fail "-x alone on standard output failed"
cmp -s <(options_line stdout/both) <(cat stdout/listing stdout/xml | options_line /dev/stdin) \
  || fail "both on standard output: not the listing followed by the XML report"

# Its target cannot be created: the error comes after the listings are complete.
mkdir create
set +e
"$qarpost" "${inputs[@]}" -p create/p.txt -t create/t.txt -x create/missing/r.xml 2> create/stderr
status=$?
set -e
[ "$status" = 1 ] || fail "create error: status $status"
[ "$(tail -1 create/stderr)" = "QARPost error 8: Cannot create file create/missing/r.xml: No such file or directory" ] \
  || fail "create error: $(tail -1 create/stderr)"
cmp -s create/p.txt alone/p.txt || fail "create error: the profile listing before it is not complete"
[ "$(ls -A create)" = "$(printf 'p.txt\nstderr\nt.txt')" ] || fail "create error: unexpected files: $(ls -A create)"

# A full disk at its turn.
mkdir full
set +e
"$qarpost" "${inputs[@]}" -u full/u.txt -x /dev/full 2> full/stderr
status=$?
set -e
[ "$status" = 1 ] || fail "full disk: status $status"
[ "$(tail -1 full/stderr)" = "QARPost error 17: Cannot write file /dev/full: No space left on device" ] \
  || fail "full disk: $(tail -1 full/stderr)"

# Nothing of the second process stays in the working directory.
[ "$(ls -A)" = "$(printf '%s\nall\nalone\ncreate\nfull\nstdout' "$files_before" | sort)" ] \
  || fail "left behind: $(ls -A)"
echo "check_xml_alongside: all runs as when written one after another"
