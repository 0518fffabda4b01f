#!/usr/bin/env bash
# Has the real consumers read every export that an end-to-end case expects
# (the cases whose program file names qarpost-export): the outputs named by
# --lcov, --cobertura, --sonarqube and --json in the case's args, from
# expected/files or, for "-", expected/stdout.
#   check_expected_exports.sh CASES_DIR SCHEMA DTD XSD
set -uo pipefail
cases=$1
schema=$2
dtd=$3
xsd=$4
here=$(dirname "$0")
status=0
checked=0
for case_dir in "$cases"/*/; do
  case_dir=${case_dir%/}
  [ -f "$case_dir/program" ] && grep -qx 'qarpost-export' "$case_dir/program" || continue
  [ -f "$case_dir/args" ] || continue
  arguments=()
  mapfile -t lines < "$case_dir/args"
  for ((i = 0; i + 1 < ${#lines[@]}; i++)); do
    case ${lines[i]} in
      --lcov | --cobertura | --sonarqube | --json)
        name=${lines[i + 1]}
        if [ "$name" = - ]; then file=$case_dir/expected/stdout; else file=$case_dir/expected/files/$name; fi
        [ -f "$file" ] || continue
        arguments+=("${lines[i]}" "$file")
        ;;
    esac
  done
  [ ${#arguments[@]} -gt 0 ] || continue
  if ! /usr/bin/python3 "$here/check_exports.py" --schema "$schema" --dtd "$dtd" --xsd "$xsd" "${arguments[@]}"; then
    echo "in case $(basename "$case_dir")" >&2
    status=1
  fi
  checked=$((checked + 1))
done
[ "$checked" -gt 0 ] || { echo "no export case found in $cases" >&2; exit 1; }
echo "$checked cases' exports read by their consumers"
exit $status
