#!/usr/bin/env bash
# The line figures of the change agree with diff-cover's reading of the
# Cobertura export: in a git repository whose history holds the change,
# diff-cover's changed lines that the report holds, and those covered, equal
# the JSON export's patch figures for lines, for the bundled example with its
# sources and for a generated project.
#   check_against_diff_cover.sh QARPOST_EXPORT QARPOST_SYNTH SOURCE_DIR
# Skipped (status 77) when diff-cover is not installed.
set -uo pipefail
export_program=$(realpath "$1")
synth=$(realpath "$2")
source_dir=$(realpath "$3")
if ! command -v diff-cover > /dev/null; then
  echo "diff-cover is not installed (scripts/install-deps.sh installs it): skipped"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "check_against_diff_cover: $*"; failed=1; }
export GIT_AUTHOR_NAME=test GIT_AUTHOR_EMAIL=test@example.org GIT_COMMITTER_NAME=test
export GIT_COMMITTER_EMAIL=test@example.org GIT_CONFIG_NOSYSTEM=1 HOME=$work

# Commits the tree as it is as "base", lets `edit` turn it into the change,
# commits that, and compares the two readings of the change.
#   compare LABEL DIR EDIT_COMMAND INPUTS...
compare() {
  local label=$1 dir=$2 edit=$3
  shift 3
  ( cd "$dir" && git init -q -b main . && git add -A && git commit -qm base && git branch base &&
    eval "$edit" && git add -A && git commit -qm change && git diff base HEAD > "$work/$label.diff" ) ||
    { fail "$label: the repository could not be made"; return; }
  ( cd "$dir" && "$export_program" "$@" --root "$dir" --cobertura "$work/$label.xml" \
      --diff "$work/$label.diff" --json "$work/$label.json" ) || { fail "$label: qarpost-export failed"; return; }
  ( cd "$dir" && diff-cover "$work/$label.xml" --compare-branch=base --json-report "$work/$label.dc.json" \
      > "$work/$label.dc.txt" 2>&1 ) || { fail "$label: diff-cover failed: $(tail -3 "$work/$label.dc.txt")"; return; }
  /usr/bin/python3 - "$label" "$work/$label.json" "$work/$label.dc.json" <<'PY' || failed=1
import json, sys
label, ours_path, theirs_path = sys.argv[1:]
lines = json.load(open(ours_path))["patch"]["summary"]["line_coverage"]["lines"]
theirs = json.load(open(theirs_path))
found, missed = theirs["total_num_lines"], theirs["total_num_violations"]
if found == 0:
    print(f"check_against_diff_cover: {label}: diff-cover saw no changed line of the report")
    sys.exit(1)
if (lines["found"], lines["hit"]) != (found, found - missed):
    print(f"check_against_diff_cover: {label}: patch lines {lines['hit']} of {lines['found']}, "
          f"diff-cover {found - missed} of {found}")
    sys.exit(1)
print(f"{label}: {lines['hit']} of {lines['found']} changed lines covered, as diff-cover counts them")
PY
}

# The bundled example: its sources as they were before a change that edits
# lines of each file (some run, some not) and removes one.
mkdir "$work/example"
cp -R "$source_dir/examples/src" "$source_dir/examples/MON.sym" "$source_dir/examples/run1.dat" \
  "$source_dir/examples/run2.dat" "$source_dir/examples/qar.ini" "$work/example/"
(cd "$work/example" &&
  sed -i -e '7s/TRIANGLE/TRIANGLE_OLD/' -e '13s/OTHER/OTHER_OLD/' -e '24s/-1/-2/' -e '31s/.*/    \/\* old \*\//' src/shapes.c &&
  sed -i -e '6s/stoi/stol/' -e '20s/total/0/' -e '18a\        /* removed later */' src/parser.cpp &&
  sed -i -e '5s/a && b/a/' -e '13s/1/2/' src/logic.c)
compare example "$work/example" "cp -R '$source_dir/examples/src/.' src/" \
  MON.sym run1.dat run2.dat

# A generated project: text files standing for its sources, each as long as
# its highest line, and a change that edits every seventh line of a tenth of
# them and adds lines at the end of another.
"$synth" "$work/gen" --seed 7 --files 60 --runs 2 > /dev/null
printf 'TICK = 1000\nTIMER = clock\nEXECUTION_COST_TYPE = clockticks\n' > "$work/gen/qar.ini"
(cd "$work/gen" && "$export_program" MON.sym run_000.dat run_001.dat --root "$work/gen" --lcov all.info) ||
  fail "generated: qarpost-export failed"
/usr/bin/python3 - "$work/gen" <<'PY'
import os, sys
root = sys.argv[1]
highest, name = {}, None
for line in open(os.path.join(root, "all.info")):
    if line.startswith("SF:"):
        name = line[3:].strip()
    elif line.startswith("DA:"):
        highest[name] = max(highest.get(name, 0), int(line[3:].split(",")[0]))
for name, last in highest.items():
    path = os.path.join(root, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as out:
        out.writelines(f"line {n} of {name}\n" for n in range(1, last + 3))
PY
rm -f "$work/gen/all.info"
edit_generated='/usr/bin/python3 - <<"PY"
import os
names = sorted(os.path.join(d, f) for d, _, fs in os.walk(".") if ".git" not in d for f in fs
               if f.endswith((".c", ".cpp", ".h", ".hpp")))
for i, name in enumerate(names):
    if i % 10 != 3:
        continue
    lines = open(name).read().splitlines(True)
    for n in range(i % 7, len(lines), 7):
        lines[n] = "edited " + lines[n]
    open(name, "w").writelines(lines)
PY'
compare generated "$work/gen" "$edit_generated" MON.sym run_000.dat run_001.dat
exit $failed
