#!/usr/bin/env bash
# Checks that every XML report expected by the xml_* end-to-end cases is a
# well-formed document: the report files under expected/files and the
# expected standard output of the cases that write the report there.
#   check_wellformed.sh CASES_DIR
set -u
cases_dir=$1
if ! command -v xmllint >/dev/null; then
  echo "xmllint is missing (package libxml2-utils)"
  exit 1
fi
checked=0
failed=0
for case_dir in "$cases_dir"/xml_*/; do
  documents=()
  for file in "$case_dir"expected/files/*.xml; do
    [ -f "$file" ] && documents+=("$file")
  done
  stdout="${case_dir}expected/stdout"
  if [ -f "$stdout" ] && head -c 5 "$stdout" | grep -q '^<?xml'; then
    documents+=("$stdout")
  fi
  for document in "${documents[@]}"; do
    checked=$((checked + 1))
    if ! xmllint --noout "$document"; then
      echo "not well-formed: $document"
      failed=1
    fi
  done
done
if [ "$checked" -eq 0 ]; then
  echo "no XML report found under $cases_dir"
  exit 1
fi
echo "$checked XML reports checked"
exit $failed
