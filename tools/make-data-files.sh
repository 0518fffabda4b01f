#!/usr/bin/env bash
# Remakes the data files of hand-made inputs: in each folder given, every
# NAME.counts becomes NAME.dat, its counter blocks identified by the file
# blocks of the folder's symbol files (*.sym). The stamp is fixed
# (Fri Dec  5 16:00:00 2025, UTC) so that listings can be compared.
#   tools/make-data-files.sh BUILD_DIR FOLDER...
set -euo pipefail
tool=$(realpath "$1")/tools/make_example_data
shift
for folder in "$@"; do
  for counts in "$folder"/*.counts; do
    SOURCE_DATE_EPOCH=1764950400 TZ=UTC "$tool" "${counts%.counts}.dat" "$counts" "$folder"/*.sym
  done
done
