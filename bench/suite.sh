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
#   export qarpost-export writing LCOV, Cobertura, SonarQube and JSON in one run
#   -a     the 100 data files added into one
#   html   qarpost-export --html: the HTML report (index and 200·N pages),
#          each run into a new directory
# next to a floor: `wc -l` over every input byte and every output byte of
# that run. The programs have the machine's two cores (the goals are set on
# two cores): qarpost reads the data files on the second one while it reads
# the symbol files, every report's walk is split into parts walked on both,
# and the HTML report's pages are written by a second thread. The floor, one
# process, is pinned to one core; PIN=1 pins every run but all4 as well, as
# the rounds before measured. Each size comes in three shapes:
# the default project, an XML-heavy one (qarpost_synth --shape
# xml-heavy: long descriptions full of "<", ">" and "&", most decisions
# written as multiconditions) and a shared-lines one (--shape shared-lines:
# about twenty line records per source, most naming three files every
# source shares, a few very large functions, many headers per source). Prints the table and writes it to
# build-bench/suite/results.md. The table also has the CPU time (user +
# system, 10 ms resolution) of the best run and of the best floor run: on a
# loaded machine their ratio is steadier than that of the wall times.
#
#   bench/suite.sh [SIZE_MB...]        default: 1 10 100
#   REPEAT=N bench/suite.sh            best of N runs (default 3)
#   SHAPES="default" bench/suite.sh    only some shapes (default: default xml-heavy shared-lines)
#   PIN=1 bench/suite.sh               every run but all4 pinned to one core
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

# timed OUTFILE CMD...: runs CMD once (on one core when pin_run says so), prints
# "microseconds peak_kB cpu_microseconds".
timed() {
  local out=$1; shift
  local start end
  start=$(date +%s%N)
  /usr/bin/time -f "%M %U %S" -o "$root/.rss" "${pin_run[@]}" "$@" > "$out" 2> "$root/.stderr" || {
    echo "failed: $* ($(head -c 300 "$root/.stderr"))" >&2; exit 1; }
  end=$(date +%s%N)
  local rss user sys
  read -r rss user sys < <(tail -1 "$root/.rss")
  echo "$(( (end - start) / 1000 )) $rss $(echo "($user + $sys) * 1000000 / 1" | bc)"
}

# measure SIZE NAME "INPUTS" "OUTPUTS" CMD...: best of $repeat runs of CMD,
# and of the floor over the same bytes.
measure() {
  local size=$1 name=$2 inputs=$3 outputs=$4; shift 4
  local best=0 peak=0 floor=0 cpu=0 floorcpu=0 r t m c
  pin_run=()
  [ "${PIN:-0}" = 1 ] && [ "$name" != all4 ] && pin_run=("${pin[@]}")
  for ((r = 0; r < repeat; r++)); do
    if [ -n "${fresh_directory:-}" ]; then
      # Each run into a directory of its own: the pages of the run before
      # are moved aside, not removed (see "The HTML report" in README.md).
      [ ! -e "$fresh_directory" ] || mv "$fresh_directory" "$fresh_directory.run$r"
    else
      # shellcheck disable=SC2086
      rm -f $outputs
    fi
    read -r t m c < <(timed "$root/.stdout" "$@")
    if [ "$best" = 0 ] || [ "$t" -lt "$best" ]; then best=$t; cpu=$c; fi
    [ "$m" -gt "$peak" ] && peak=$m
  done
  pin_run=("${pin[@]}")
  # shellcheck disable=SC2086
  for ((r = 0; r < repeat; r++)); do
    read -r t m c < <(timed /dev/null wc -l $inputs $outputs)
    if [ "$floor" = 0 ] || [ "$t" -lt "$floor" ]; then floor=$t; floorcpu=$c; fi
  done
  # shellcheck disable=SC2086
  local moved; moved=$(bytes_of $inputs $outputs)
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$label" "$name" "$moved" "$best" "$floor" "$peak" "$symbol_bytes" \
    "$cpu" "$floorcpu" >> "$results"
  printf '  %-5s %8.3f s (cpu %7.3f s)  floor %7.3f s  peak %6d MB\n' "$name" "$(echo "$best / 1000000" | bc -l)" \
    "$(echo "$cpu / 1000000" | bc -l)" "$(echo "$floor / 1000000" | bc -l)" "$((peak * 1024 / 1000000))"
}

read -r -a shapes <<< "${SHAPES:-default xml-heavy shared-lines}"
outputs=()
for shape in "${shapes[@]}"; do
for size in "${sizes[@]}"; do
  files=$((size * 200))
  if [ "$shape" = default ]; then dir="$root/size-$size"; label="$size MB"
  else dir="$root/$shape-$size"; label="$size MB $shape"; fi
  if [ ! -f "$dir/complete" ]; then
    rm -rf "$dir"
    "$synth" "$dir" --seed 1 --files "$files" --symbol-mb "$size" --runs 100 --shape "$shape" > /dev/null
    touch "$dir/complete"
  fi
  repeat=${REPEAT:-3}
  out="$root/out-$shape-$size"
  rm -rf "$out" && mkdir -p "$out"
  printf 'TICK = 1000\nTIMER = clock\nEXECUTION_COST_TYPE = clockticks\n' > "$out/qar.ini"
  sym="$dir/MON.sym"
  dat=$(ls "$dir"/run_*.dat | tr '\n' ' ')
  symbol_bytes=$(stat -c %s "$sym")
  echo "size $size MB, $shape shape: $files source files, $(echo "$symbol_bytes / 1000000" | bc) MB symbol text," \
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
  measure "$size" export "$sym $dat" "$out/e.info $out/e.cobertura.xml $out/e.sonar.xml $out/e.json" \
    "$qarpost_export" "$sym" $dat --lcov "$out/e.info" --cobertura "$out/e.cobertura.xml" \
    --sonarqube "$out/e.sonar.xml" --json "$out/e.json"
  rm -f "$out"/e.*
  measure "$size" -a "$dat" "$out/sum.dat" "$qarpost" $dat -a "$out/sum.dat"
  # The pages are counted through a pattern, expanded where the files exist.
  fresh_directory="$out/html" \
    measure "$size" html "$sym $dat" "$out/html/*.html" "$qarpost_export" "$sym" $dat --html "$out/html"
  cd - > /dev/null
  # The pages stay until the end: on a file system without a journal, files
  # created within half a minute or so of removing thousands of others pay
  # for skipping their inodes (see "The HTML report" in README.md), and the
  # next case's HTML runs would measure that.
  outputs+=("$out")
done
done
rm -rf "${outputs[@]}"

# The table: throughput over the bytes read and written, time over the floor,
# peak memory over the symbol text.
awk -F'\t' '
  BEGIN {
    print "| case | run | MB in+out | time s | cpu s | MB/s | floor s | floor cpu s | x floor | cpu x floor cpu | peak MB | peak / symbol text |"
    print "|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
  }
  {
    mb = $3 / 1e6; t = $4 / 1e6; f = $5 / 1e6; peak = $6 * 1024; cpu = $8 / 1e6; fcpu = $9 / 1e6
    printf "| %s | %s | %.1f | %.3f | %.2f | %.0f | %.3f | %.2f | %.1f | %s | %.0f | %.2f |\n", $1, $2, mb, t, cpu, mb / t, f, fcpu,
      t / f, (fcpu > 0 ? sprintf("%.1f", cpu / fcpu) : "-"), peak / 1e6, peak / $7
    time[$1, $2] = t
    shape = $1; sub(/^[0-9]+ MB ?/, "", shape); shapes[shape] = 1
    if ($2 == "export") exported[$1] = t
    if ($2 == "-x") xml[$1] = t
  }
  END {
    for (c in exported) {
      if (c in xml)
        printf "\nExport of all four formats, %s case: %.3f s against %.3f s for -x (%.2f)\n", c, exported[c], xml[c], exported[c] / xml[c]
    }
    for (shape in shapes) {
      small = "10 MB" (shape == "" ? "" : " " shape); large = "100 MB" (shape == "" ? "" : " " shape)
      if (!((small, "all4") in time && (large, "all4") in time)) continue
      print ""
      print "Cost of the 100 MB case over the 10 MB case" (shape == "" ? "" : " (" shape ")") ":"
      n = split("load -p -u -t -x -l all4 export -a html", runs, " ")
      for (i = 1; i <= n; i++) {
        if ((small, runs[i]) in time && (large, runs[i]) in time)
          printf "- %s: %.1f\n", runs[i], time[large, runs[i]] / time[small, runs[i]]
      }
    }
    first = 1
    for (key in time) {
      split(key, part, SUBSEP)
      if (part[2] == "html" && (part[1], "-x") in time) {
        if (first) { print ""; print "The HTML report over the -x report (at most 2):"; first = 0 }
        printf "- %s: %.2f\n", part[1], time[key] / time[part[1], "-x"]
      }
    }
  }' "$results" | tee "$root/results.md"
