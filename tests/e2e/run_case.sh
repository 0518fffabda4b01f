#!/usr/bin/env bash
# Runs the built program for one end-to-end case and compares what it wrote.
#   run_case.sh QARPOST CASE_DIR [QARPOST_EXPORT]
#
# A case folder holds:
#   program           optional: "qarpost-export" runs QARPOST_EXPORT instead of QARPOST
#   args              one program argument per line (an empty line is an empty argument)
#   env               optional NAME=VALUE lines added to the clean environment
#   file_size_limit   optional: the largest file the program may write, in
#                     blocks of 1024 bytes (ulimit -f); a write beyond it fails
#                     with "File too large", as on a full disk
#   input/            optional files copied into the fresh working directory
#   expected/stdout   expected standard output (absent: empty)
#   expected/stderr   expected standard error (absent: empty)
#   expected/status   expected exit status (absent: 0)
#   expected/files/   files that must exist afterwards in the working directory, byte for byte
#   expected/absent   optional names, one a line, that must not exist afterwards;
#                     a name may be a pattern ("report/.*.tmp")
#   fifos             optional "NAME SOURCE PIECE" lines: NAME becomes a FIFO in
#                     the working directory through which the bytes of the
#                     input file SOURCE pass in pieces of PIECE bytes, each
#                     written once the one before has been read (feed_pipe.py)
#   stdin             optional "SOURCE PIECE": standard input is a pipe that
#                     carries SOURCE that way (else it is /dev/null); an input
#                     named NAME.dat can be a symbolic link to /dev/stdin
# "@WORK@" in args and env stands for the working directory's path.
# With fifos or stdin the program has 60 seconds: a program that waits for
# a pipe's writer that has gone fails instead of hanging.
set -u
program=$(realpath "$1")
case_dir=$2
if [ -f "$case_dir/program" ] && [ "$(tr -d '[:space:]' < "$case_dir/program")" = qarpost-export ]; then
  program=$(realpath "${3:?the case runs qarpost-export, which was not given}")
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ -d "$case_dir/input" ]; then
  cp -R "$case_dir/input/." "$work/"
fi

args=()
if [ -f "$case_dir/args" ]; then
  while IFS= read -r line || [ -n "$line" ]; do
    args+=("${line//@WORK@/$work}")
  done < "$case_dir/args"
fi

environment=(PATH=/usr/bin:/bin TZ=UTC SOURCE_DATE_EPOCH=1764950400 HOME="$work")
if [ -f "$case_dir/env" ]; then
  while IFS= read -r line || [ -n "$line" ]; do
    [ -n "$line" ] && environment+=("${line//@WORK@/$work}")
  done < "$case_dir/env"
fi

feed="$(dirname "$(realpath "$0")")/feed_pipe.py"
feeders=()
limit=()
if [ -f "$case_dir/fifos" ]; then
  while read -r name source piece || [ -n "$name" ]; do
    [ -n "$name" ] || continue
    mkfifo "$work/$name"
    python3 "$feed" "$work/$source" "$piece" "$work/$name" &
    feeders+=($!)
  done < "$case_dir/fifos"
  limit=(timeout 60)
fi
file_size_limit=
[ -f "$case_dir/file_size_limit" ] && file_size_limit=$(tr -d '[:space:]' < "$case_dir/file_size_limit")
run_program() {
  ( cd "$work" || exit 125
    if [ -n "$file_size_limit" ]; then
      # Ignored, the signal that a write beyond the limit raises leaves the
      # write to fail with EFBIG.
      trap '' XFSZ
      ulimit -f "$file_size_limit" || exit 125
    fi
    exec "${limit[@]}" env -i "${environment[@]}" "$program" "${args[@]}" \
      > "$work/.e2e/stdout" 2> "$work/.e2e/stderr" )
}
mkdir -p "$work/.e2e"
if [ -f "$case_dir/stdin" ]; then
  read -r source piece < "$case_dir/stdin"
  limit=(timeout 60)
  python3 "$feed" "$work/$source" "$piece" | run_program
else
  run_program < /dev/null
fi
status=$?
# A FIFO the program never opened still has its writer waiting.
for feeder in "${feeders[@]}"; do
  kill "$feeder" 2> /dev/null
  wait "$feeder" 2> /dev/null
done

failed=0
compare() {  # expected-file actual-file label
  if ! cmp -s "$1" "$2"; then
    echo "--- $3 differs (expected vs actual):"
    diff -u "$1" "$2" | head -n 60
    failed=1
  fi
}
for stream in stdout stderr; do
  expected="$case_dir/expected/$stream"
  [ -f "$expected" ] || expected=/dev/null
  compare "$expected" "$work/.e2e/$stream" "$stream"
done
expected_status=0
[ -f "$case_dir/expected/status" ] && expected_status=$(tr -d '[:space:]' < "$case_dir/expected/status")
if [ "$status" != "$expected_status" ]; then
  echo "--- exit status $status, expected $expected_status"
  failed=1
fi
if [ -d "$case_dir/expected/files" ]; then
  while IFS= read -r -d '' file; do
    relative=${file#"$case_dir/expected/files/"}
    if [ ! -f "$work/$relative" ]; then
      echo "--- file $relative was not written"
      failed=1
    else
      compare "$file" "$work/$relative" "file $relative"
    fi
  done < <(find "$case_dir/expected/files" -type f -print0)
fi
if [ -f "$case_dir/expected/absent" ]; then
  while IFS= read -r name || [ -n "$name" ]; do
    if [ -n "$name" ] && { [ -e "$work/$name" ] || compgen -G "$work/$name" > /dev/null; }; then
      echo "--- file $name exists but must not:" $(compgen -G "$work/$name" | sed "s|^$work/||")
      failed=1
    fi
  done < "$case_dir/expected/absent"
fi
exit $failed
