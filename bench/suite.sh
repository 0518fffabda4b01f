#!/usr/bin/env bash
# The benchmark suite: generated projects of about 1, 10 and 100 MB of symbol
# text (200, 2,000 and 20,000 source files; 100 data files each, every one
# covering about a tenth of the sources), and for each the wall time and peak
# memory of
#   load   loading alone: qarpost_load_once, which does what a coverage
#          report run does before its first line (input headers checked,
#          symbol and data files read, preparation pass, header extraction)
#   -p -u -t -x   each report in a run of its own
#   -l     the contents listing (to a file)
#   all4   -p -u -t -x in one run
#   -a     the 100 data files added into one
#   html   qarpost-export --html: the HTML report (index and 200·N pages)
# next to a floor: `wc -l` over every input byte and every output byte of
# that run. All runs are pinned to one core. Prints the table and writes it
# to build-bench/suite/results.md.
#
#   bench/suite.sh [SIZE_MB...]        default: 1 10 100
#   REPEAT=N bench/suite.sh            best of N runs (default 3)
set -euo pipefail
cd "$(dirname "$0")/.."
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1 10 100)

build=build-bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQARPOST_BENCH=ON -DQARPOST_TESTS=OFF >/dev/null
cmake --build "$build" --target qarpost qarpost-export qarpost_synth qarpost_load_once >/dev/null
qarpost=$(realpath "$build/qarpost")
qarpost_export=$(realpath "$build/qarpost-export")
synth=$(realpath "$build/tools/qarpost_synth")
load_once=$(realpath "$build/bench/qarpost_load_once")
root=$(realpath -m "$build/suite")
mkdir -p "$root"
pin=()
command -v taskset >/dev/null && pin=(taskset -c "$(($(nproc) - 1))")
export TZ=UTC SOURCE_DATE_EPOCH=1764950400

results="$root/results.tsv"
: > "$results"

# One stat for all files: the HTML run has a file per source file.
bytes_of() { [ $# -gt 0 ] || { echo 0; return; }; stat -c %s "$@" | awk '{ total += $1 } END { printf "%d\n", total }'; }

# timed OUTFILE CMD...: runs CMD once on the pinned core, prints "seconds peak_kB".
timed() {
  local out=$1; shift
  local start end
  start=$(date +%s%N)
  /usr/bin/time -f "%M" -o "$root/.rss" "${pin[@]}" "$@" > "$out" 2> "$root/.stderr" || {
    echo "failed: $* ($(head -c 300 "$root/.stderr"))" >&2; exit 1; }
  end=$(date +%s%N)
  echo "$(( (end - start) / 1000 )) $(tail -1 "$root/.rss")"
}

# measure SIZE NAME "INPUTS" "OUTPUTS" CMD...: best of $repeat runs of CMD,
# and of the floor over the same bytes.
measure() {
  local size=$1 name=$2 inputs=$3 outputs=$4; shift 4
  local best=0 peak=0 floor=0 r t m
  for ((r = 0; r < repeat; r++)); do
    # shellcheck disable=SC2086
    rm -f $outputs
    read -r t m < <(timed "$root/.stdout" "$@")
    if [ "$best" = 0 ] || [ "$t" -lt "$best" ]; then best=$t; fi
    [ "$m" -gt "$peak" ] && peak=$m
  done
  # shellcheck disable=SC2086
  for ((r = 0; r < repeat; r++)); do
    read -r t m < <(timed /dev/null wc -l $inputs $outputs)
    if [ "$floor" = 0 ] || [ "$t" -lt "$floor" ]; then floor=$t; fi
  done
  # shellcheck disable=SC2086
  local moved; moved=$(bytes_of $inputs $outputs)
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$size" "$name" "$moved" "$best" "$floor" "$peak" "$symbol_bytes" >> "$results"
  printf '  %-5s %8.3f s  floor %7.3f s  peak %6d MB\n' "$name" "$(echo "$best / 1000000" | bc -l)" \
    "$(echo "$floor / 1000000" | bc -l)" "$((peak * 1024 / 1000000))"
}

for size in "${sizes[@]}"; do
  files=$((size * 200))
  dir="$root/size-$size"
  if [ ! -f "$dir/complete" ]; then
    rm -rf "$dir"
    "$synth" "$dir" --seed 1 --files "$files" --symbol-mb "$size" --runs 100 > /dev/null
    touch "$dir/complete"
  fi
  repeat=${REPEAT:-3}
  out="$root/out-$size"
  rm -rf "$out" && mkdir -p "$out"
  printf 'TICK = 1000\nTIMER = clock\nEXECUTION_COST_TYPE = clockticks\n' > "$out/qar.ini"
  sym="$dir/MON.sym"
  dat=$(ls "$dir"/run_*.dat | tr '\n' ' ')
  symbol_bytes=$(stat -c %s "$sym")
  echo "size $size MB: $files source files, $(echo "$symbol_bytes / 1000000" | bc) MB symbol text," \
       "$(( $(bytes_of $dat) / 1000000 )) MB in 100 data files"
  cd "$out"
  measure "$size" load "$sym $dat" "" "$load_once" "$sym" -- $dat
  for report in p u t x; do
    measure "$size" "-$report" "$sym $dat" "$out/r.$report" "$qarpost" "$sym" $dat "-$report" "$out/r.$report"
    rm -f "$out/r.$report"
  done
  measure "$size" -l "$sym $dat" "$root/.stdout" "$qarpost" -l "$sym" $dat
  measure "$size" all4 "$sym $dat" "$out/r.p $out/r.u $out/r.t $out/r.x" \
    "$qarpost" "$sym" $dat -p "$out/r.p" -u "$out/r.u" -t "$out/r.t" -x "$out/r.x"
  rm -f "$out"/r.*
  measure "$size" -a "$dat" "$out/sum.dat" "$qarpost" $dat -a "$out/sum.dat"
  # The pages are counted through a pattern, expanded where the files exist.
  measure "$size" html "$sym $dat" "$out/html/*.html" "$qarpost_export" "$sym" $dat --html "$out/html"
  cd - > /dev/null
  rm -rf "$out"
done

# The table: throughput over the bytes read and written, time over the floor,
# peak memory over the symbol text.
awk -F'\t' '
  BEGIN {
    print "| size | run | MB in+out | time s | MB/s | floor s | x floor | peak MB | peak / symbol text |"
    print "|---:|---|---:|---:|---:|---:|---:|---:|---:|"
  }
  {
    mb = $3 / 1e6; t = $4 / 1e6; f = $5 / 1e6; peak = $6 * 1024
    printf "| %s MB | %s | %.1f | %.3f | %.0f | %.3f | %.1f | %.0f | %.2f |\n", $1, $2, mb, t, mb / t, f, t / f, peak / 1e6, peak / $7
    time[$1, $2] = t
  }
  END {
    if ((10, "all4") in time && (100, "all4") in time) {
      print ""
      print "Cost of the 100 MB case over the 10 MB case:"
      n = split("load -p -u -t -x -l all4 -a html", runs, " ")
      for (i = 1; i <= n; i++) {
        if ((10, runs[i]) in time && (100, runs[i]) in time)
          printf "- %s: %.1f\n", runs[i], time[100, runs[i]] / time[10, runs[i]]
      }
    }
    first = 1
    for (key in time) {
      split(key, part, SUBSEP)
      if (part[2] == "html" && (part[1], "-x") in time) {
        if (first) { print ""; print "The HTML report over the -x report (at most 2):"; first = 0 }
        printf "- %s MB: %.2f\n", part[1], time[key] / time[part[1], "-x"]
      }
    }
  }' "$results" | tee "$root/results.md"
