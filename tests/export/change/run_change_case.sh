#!/usr/bin/env bash
# Runs one case of the change's corpus: the small project under PROJECT (its
# sources, symbol and data files) with the case's own inputs (a diff, edited
# sources) laid over it, as an end-to-end case of qarpost-export.
#   run_change_case.sh RUN_CASE QARPOST QARPOST_EXPORT PROJECT CASE_DIR
set -eu
run_case=$1 qarpost=$2 export=$3 project=$4 case_dir=$5
composed=$(mktemp -d)
trap 'rm -rf "$composed"' EXIT
mkdir "$composed/input"
cp -R "$project/." "$composed/input/"
rm -f "$composed/input/run.counts"
if [ -d "$case_dir/input" ]; then cp -R "$case_dir/input/." "$composed/input/"; fi
for part in args env stdin expected; do
  if [ -e "$case_dir/$part" ]; then cp -R "$case_dir/$part" "$composed/"; fi
done
echo qarpost-export > "$composed/program"
bash "$run_case" "$qarpost" "$composed" "$export"
