#!/usr/bin/env bash
# The exports of the bundled example and of generated projects: under each
# of the five coverage views the JSON's TER and statement figures equal what
# qarpost -p prints, and the real consumers read all four formats with the
# same totals. The generated project is also exported without header
# extraction (its header code then stays in the sources behind line
# directives, which send it to the header files) and with --root.
#   check_project_exports.sh QARPOST QARPOST_EXPORT QARPOST_SYNTH SOURCE_DIR DTD XSD
set -euo pipefail
qarpost=$(realpath "$1")
export_program=$(realpath "$2")
synth=$(realpath "$3")
source_dir=$(realpath "$4")
dtd=$(realpath "$5")
xsd=$(realpath "$6")
here=$(realpath "$(dirname "$0")")
schema=$source_dir/docs/export-json.schema.json
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TZ=UTC SOURCE_DATE_EPOCH=1764950400

fail() { echo "check_project_exports: $*" >&2; exit 1; }

# check_project DIR LABEL INPUTS... : every view, agreement and consumers.
check_project() {
  local dir=$1 label=$2
  shift 2
  local view option
  for view in function decision condition mcdc as_instrumented; do
    case $view in
      function) option=(-ff) ;; decision) option=(-fd) ;; condition) option=(-fc) ;;
      mcdc) option=(-fmcdc) ;; *) option=() ;;
    esac
    (cd "$dir" && "$qarpost" "$@" "${option[@]}" -p profile.txt 2> /dev/null) || fail "$label: qarpost -p failed"
    (cd "$dir" && "$export_program" "$@" "${option[@]}" --json e.json --lcov e.info --cobertura e.cobertura.xml \
       --sonarqube e.sonar.xml 2> stderr.txt) || fail "$label: qarpost-export failed: $(head -3 "$dir/stderr.txt")"
    /usr/bin/python3 "$here/check_agreement.py" "$dir/profile.txt" "$dir/e.json" "$view" || fail "$label ($view): figures differ"
    /usr/bin/python3 "$here/check_exports.py" --schema "$schema" --dtd "$dtd" --xsd "$xsd" --json "$dir/e.json" --lcov "$dir/e.info" \
      --cobertura "$dir/e.cobertura.xml" --sonarqube "$dir/e.sonar.xml" || fail "$label ($view): consumers"
  done
}

mkdir -p "$work/example"
cp "$source_dir"/examples/{MON.sym,run1.dat,run2.dat,qar.ini} "$work/example/"
check_project "$work/example" example MON.sym run1.dat run2.dat

"$synth" "$work/gen" --seed 5 --files 80 --runs 4 > /dev/null
printf 'TICK = 1000\nTIMER = clock\nEXECUTION_COST_TYPE = clockticks\n' > "$work/gen/qar.ini"
check_project "$work/gen" generated MON.sym run_000.dat run_001.dat run_002.dat run_003.dat
check_project "$work/gen" "generated without header extraction" MON.sym run_000.dat run_001.dat run_002.dat run_003.dat -nhe

# Without header extraction the header code reaches the header files through
# line directives in many sources: each header is still written once.
duplicates=$(grep '^SF:' "$work/gen/e.info" | sort | uniq -d | head -3)
[ -z "$duplicates" ] || fail "files written twice: $duplicates"
grep -q '^SF:include/' "$work/gen/e.info" || fail "no header file reached through a line directive"

# --root: the names below the root are written relative to it.
(cd "$work/gen" && "$export_program" MON.sym run_000.dat --root src --lcov root.info --cobertura root.xml \
   --sonarqube root.sonar.xml --json root.json 2> /dev/null) || fail "--root run failed"
grep -q '^SF:module_000/' "$work/gen/root.info" || fail "--root: names not relative to the root"
grep -q '<source>src</source>' "$work/gen/root.xml" || fail "--root: Cobertura source is not the root"
/usr/bin/python3 "$here/check_exports.py" --schema "$schema" --dtd "$dtd" --xsd "$xsd" --json "$work/gen/root.json" \
  --lcov "$work/gen/root.info" --cobertura "$work/gen/root.xml" --sonarqube "$work/gen/root.sonar.xml" || fail "--root: consumers"
echo "check_project_exports: example and generated projects agree under every view"
