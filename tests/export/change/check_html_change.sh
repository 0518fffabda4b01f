#!/usr/bin/env bash
# The HTML report with a diff: the index opens with the change (its figures
# and the touched files, each linking to its uncovered items), and the file
# pages mark the changed lines and no other.
#   check_html_change.sh QARPOST_EXPORT PROJECT DIFF
set -uo pipefail
export_program=$(realpath "$1")
project=$(realpath "$2")
diff_file=$(realpath "$3")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -R "$project/." "$work/"
cd "$work" || exit 1
env -i PATH=/usr/bin:/bin TZ=UTC SOURCE_DATE_EPOCH=1764950400 "$export_program" MON.sym run.dat \
  --diff "$diff_file" --html report --source-root . > out.txt 2>&1 || { cat out.txt; exit 1; }
/usr/bin/python3 - report <<'PY'
import glob, html.parser, os, re, sys

class Marks(html.parser.HTMLParser):
    """The rows of a page whose line cell holds a change mark, and the links of the index."""
    def __init__(self):
        super().__init__()
        self.row, self.marked, self.links, self.sections = None, [], [], []
    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "tr" and (a.get("id") or "").startswith("L"):
            self.row = int(a["id"][1:])
        if tag == "span" and a.get("class") == "chg" and self.row is not None:
            self.marked.append(self.row)
        if tag == "a" and "href" in a:
            self.links.append(a["href"])
        if tag == "section" and a.get("aria-label"):
            self.sections.append(a["aria-label"])

def read(path):
    parser = Marks()
    parser.feed(open(path, encoding="utf-8").read())
    return parser

report = sys.argv[1]
failed = []
index = read(os.path.join(report, "index.html"))
if not index.sections or index.sections[0] != "The change":
    failed.append(f"the index does not open with the change: {index.sections[:3]}")
page = [p for p in glob.glob(os.path.join(report, "f*-calc.c.html"))]
if len(page) != 1:
    failed.append(f"no single page of src/calc.c: {page}")
else:
    name = os.path.basename(page[0])
    if name + "#L6" not in index.links:
        failed.append(f"the index does not link the uncovered decision on line 6 of {name}")
    if read(page[0]).marked != [7]:
        failed.append(f"{name} marks lines {read(page[0]).marked}, not the changed line 7")
for other in glob.glob(os.path.join(report, "f*.html")):
    if "calc.c" not in other and read(other).marked:
        failed.append(f"{other} marks lines the diff did not change")
for f in failed:
    print("check_html_change:", f)
sys.exit(1 if failed else 0)
PY
