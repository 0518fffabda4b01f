#!/usr/bin/env bash
# Compares two builds of qarpost-export byte for byte on the generated suite
# inputs: each format alone (LCOV, Cobertura, SonarQube, JSON, the HTML
# report), all four formats in one run, the gates, and the same with --root
# (a relative and an absolute one) and with -fmcdc; each with its standard
# output, standard error, exit status and every file it leaves.
#
#   bench/compare_exports.sh REF_BINARY NEW_BINARY [INPUT_DIR...]
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

# run TAG BINARY ARGS...: runs in $work/run (outputs named there, the same
# absolute folder for both builds), then keeps the folder as $work/TAG.
run() {
  local tag=$1 bin=$2; shift 2
  rm -rf "$work/$tag" "$work/run" && mkdir -p "$work/run" && cp "$work/qar.ini" "$work/run/"
  ( cd "$work/run" && set +e; "$bin" "$@" > stdout 2> stderr; echo $? > status ) || true
  mv "$work/run" "$work/$tag"
}

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

gates=(--fail-under line=60 --fail-under branch=40 --fail-under function=50 --fail-under statement=55
       --fail-under ter=45 --fail-under mcdc=30)
for dir in "${dirs[@]}"; do
  dir=$(realpath "$dir")
  sym="$dir/MON.sym"
  mapfile -t dat < <(ls "$dir"/run_*.dat)
  label=$(basename "$dir")
  for root in "" "--root src" "--root $work/run"; do
    # shellcheck disable=SC2086
    {
      check "$label --lcov $root" "$sym" "${dat[@]}" $root --lcov out.info
      check "$label --cobertura $root" "$sym" "${dat[@]}" $root --cobertura cobertura.xml
      check "$label --sonarqube $root" "$sym" "${dat[@]}" $root --sonarqube sonar.xml
      check "$label --json $root" "$sym" "${dat[@]}" $root --json out.json
      check "$label --html $root" "$sym" "${dat[@]}" $root --html html
      check "$label all formats and gates $root" "$sym" "${dat[@]}" $root --lcov out.info \
        --cobertura cobertura.xml --sonarqube sonar.xml --json - "${gates[@]}"
    }
  done
  check "$label -fmcdc --json --lcov" "$sym" "${dat[@]}" -fmcdc --json out.json --lcov out.info
  check "$label -nhe --json --cobertura" "$sym" "${dat[@]}" -nhe --json out.json --cobertura cobertura.xml
done
if [ "$failures" -ne 0 ]; then
  echo "$failures comparisons differ"; exit 1
fi
echo "all comparisons equal"
