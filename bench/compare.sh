#!/usr/bin/env bash
# Compares two builds of qarpost byte for byte on the generated suite inputs:
# every report alone and all four together (default view, -fmcdc, -fd -w 70,
# -nhe), -l, -L and both -a modes, each with its standard output, standard
# error, exit status and the files it leaves.
#
#   bench/compare.sh REF_BINARY NEW_BINARY [INPUT_DIR...]
# default inputs: those of build-bench/suite/size-10, size-100, xml-heavy-10,
# xml-heavy-100, shared-lines-10 and shared-lines-100 that bench/suite.sh
# has generated.
set -euo pipefail
ref=$(realpath "$1"); new=$(realpath "$2"); shift 2
cd "$(dirname "$0")/.."
dirs=("$@")
if [ ${#dirs[@]} -eq 0 ]; then
  for dir in build-bench/suite/{size,xml-heavy,shared-lines}-{10,100}; do [ -f "$dir/complete" ] && dirs+=("$dir"); done
fi
export TZ=UTC SOURCE_DATE_EPOCH=1764950400
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'TICK = 1000\nTIMER = clock\nEXECUTION_COST_TYPE = clockticks\n' > "$work/qar.ini"
failures=0

# run TAG BINARY ARGS...: runs in $work/TAG (outputs named there), keeps
# stdout, stderr, status and the list of files left.
run() {
  local tag=$1 bin=$2; shift 2
  rm -rf "$work/$tag" && mkdir -p "$work/$tag" && cp "$work/qar.ini" "$work/$tag/"
  ( cd "$work/$tag" && set +e; "$bin" "$@" > stdout 2> stderr; echo $? > status ) || true
}

# check NAME ARGS...: the same command under both builds, every file compared.
check() {
  local name=$1; shift
  run ref "$ref" "$@"
  run new "$new" "$@"
  if diff -r -q "$work/ref" "$work/new" > "$work/diff" 2>&1; then
    echo "same      $name"
  else
    echo "DIFFERENT $name"; sed 's/^/    /' "$work/diff" | head -20
    failures=$((failures + 1))
  fi
}

for dir in "${dirs[@]}"; do
  dir=$(realpath "$dir")
  sym="$dir/MON.sym"
  mapfile -t dat < <(ls "$dir"/run_*.dat)
  label=$(basename "$dir")
  for view in "" "-fmcdc" "-fd -w 70" "-nhe"; do
    # shellcheck disable=SC2086
    check "$label all4 $view" "$sym" "${dat[@]}" $view -p r.p -u r.u -t r.t -x r.x
    for report in p u t x; do
      # shellcheck disable=SC2086
      check "$label -$report $view" "$sym" "${dat[@]}" $view "-$report" "r.$report"
    done
  done
  check "$label -p to stdout" "$sym" "${dat[@]}" -p -
  check "$label -x to stdout" "$sym" "${dat[@]}" -x stdout
  check "$label -l" -l "$sym" "${dat[@]}"
  check "$label -L" -L "$sym" "${dat[@]}"
  check "$label -a data" "${dat[@]}" -a sum.dat
  check "$label -a symbol" "$sym" "$sym" -a sum.sym
done
if [ "$failures" -ne 0 ]; then
  echo "$failures comparisons differ"; exit 1
fi
echo "all comparisons equal"
