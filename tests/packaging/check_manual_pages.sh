#!/usr/bin/env bash
# The manual pages format without a single warning, for print and for the
# terminal, and qarpost.1 describes every option that the command line accepts.
#   check_manual_pages.sh OPTION_TABLE_SOURCE PAGE...
# The options are read from the table of the command-line parser, so an option
# added there without a description in the page fails here.
set -uo pipefail
option_source=$1
shift
failed=0

for page in "$@"; do
  for device in ps utf8; do
    warnings=$(groff -man -ww -z -T"$device" "$page" 2>&1 >/dev/null)
    status=$?
    if [ $status -ne 0 ] || [ -n "$warnings" ]; then
      echo "--- groff -man -ww -z -T$device $(basename "$page"): status $status"
      echo "$warnings"
      failed=1
    fi
  done
done

qarpost_page=
for page in "$@"; do
  [ "$(basename "$page")" = qarpost.1 ] && qarpost_page=$page
done
if [ -z "$qarpost_page" ]; then
  echo "--- qarpost.1 is not among the pages checked"
  exit 1
fi

# Option names as the parser's table lists them: {"name", OptionArgument::...}.
mapfile -t options < <(grep -oE '\{"[^"]+", OptionArgument::' "$option_source" |
                         sed -E 's/^\{"([^"]+)".*/\1/')
if [ ${#options[@]} -lt 10 ]; then
  echo "--- found only ${#options[@]} options in $option_source; has the table changed its form?"
  exit 1
fi

# The tags of the option paragraphs: the line after each .TP or .TQ.
tags=$(awk 'tagged { print; tagged = 0 } /^\.(TP|TQ)/ { tagged = 1 }' "$qarpost_page")
for option in "${options[@]}"; do
  # In the page an option is written "\-name", followed by a blank, a quote,
  # a comma or the line end.
  pattern="\\\\-${option//\?/\\?}([ \",]|\$)"
  if ! grep -qE -- "$pattern" <<<"$tags"; then
    echo "--- option -$option has no paragraph of its own in qarpost.1"
    failed=1
  fi
done
[ $failed -eq 0 ] && echo "${#options[@]} options described; $# pages format cleanly"
exit $failed
