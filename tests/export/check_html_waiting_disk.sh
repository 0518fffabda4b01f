#!/usr/bin/env bash
# The HTML report's pages that wait for their cards wait in a file of the
# report's directory: a file system with room for the report (its pages
# and the profile listing it reads back) holds the run, whose pages are
# those of a run with all the room it wants; one without ends the run with
# the system's error.
#   check_html_waiting_disk.sh QARPOST QARPOST_EXPORT QARPOST_SYNTH
# The small file systems are tmpfs mounted in a user and mount namespace of
# their own; where this machine cannot give one, the check is skipped
# (status 77).
set -euo pipefail
qarpost=$(realpath "$1")
export_program=$(realpath "$2")
synth=$(realpath "$3")
small_fs=$(dirname "$(realpath "$0")")/../in_small_file_system.sh
fail() { echo "check_html_waiting_disk: $*" >&2; exit 1; }
command -v unshare > /dev/null || exit 77
unshare --user --map-root-user --mount true 2> /dev/null || exit 77

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export TZ=UTC SOURCE_DATE_EPOCH=1764950400
# Sources whose line directives name a few files they all share: about a
# quarter of the pages wait for their cards.
"$synth" gen --seed 7 --files 1000 --runs 2 --shape shared-lines > /dev/null
printf 'TICK = 1000\nTIMER = clock\nEXECUTION_COST_TYPE = clockticks\n' > gen/qar.ini
cd gen
inputs=(MON.sym run_000.dat run_001.dat)

"$export_program" "${inputs[@]}" --html "$work/roomy" 2> /dev/null || fail "the run with all the room failed"
"$qarpost" "${inputs[@]}" -p "$work/listing.txt" 2> /dev/null || fail "the profile listing failed"
report_kb=$(du -sk "$work/roomy" | cut -f1)
listing_kb=$((($(stat -c %s "$work/listing.txt") + 4095) / 4096 * 4))

# in_fs SIZE NAME: the HTML report into a file system of SIZE kB; its
# directory, standard error and status are copied out to NAME.
in_fs() {
  local size=$1 name=$2 mounted=$work/mnt-$2
  mkdir -p "$mounted" "$work/$name"
  local status=0
  unshare --user --map-root-user --mount bash "$small_fs" "$size" "$mounted" \
    bash -c "{ \"\$0\" \"\$@\" 2> '$work/$name.stderr'; echo \$? > '$work/$name.status'; } &&
             cp -a '$mounted/html/.' '$work/$name/' 2> /dev/null; true" \
    "$export_program" "${inputs[@]}" --html "$mounted/html" || status=$?
  [ "$status" = 77 ] && exit 77
  [ "$status" = 0 ] || fail "could not run in a file system of $size kB"
}

# Room for the pages and the listing, and 768 kB more: the waiting texts
# (over a megabyte) give their room back as their pages are written. (With
# their room kept to the end, the run needs about 1.5 MB more.)
in_fs $((report_kb + listing_kb + 768)) fits
[ "$(cat "$work/fits.status")" = 0 ] || fail "with room for the report: $(tail -1 "$work/fits.stderr")"
diff -r "$work/roomy" "$work/fits" > /dev/null || fail "with room for the report: the pages differ"

# Room for half the pages: the run ends with the system's error.
in_fs $((report_kb / 2)) short
[ "$(cat "$work/short.status")" = 1 ] || fail "without room: status $(cat "$work/short.status")"
grep -q "No space left on device" "$work/short.stderr" || fail "without room: $(tail -1 "$work/short.stderr")"

echo "check_html_waiting_disk: the report fits where its pages and listing fit, and fails clearly where not"
