#!/usr/bin/env bash
# Renders the HTML report in headless Chromium and checks the DOM it built:
# the index's totals and file rows and a file page's figures equal the JSON
# export's; hostile names and descriptions stay text. Screenshots of the
# pages are kept in OUT_DIR as test artefacts.
#   check_html_browser.sh QARPOST_EXPORT SOURCE_DIR OUT_DIR
set -euo pipefail
export_program=$(realpath "$1")
source_dir=$(realpath "$2")
out=$3
browser=$(command -v chromium-headless-shell || command -v chromium || true)
if [ -z "$browser" ]; then
  echo "SKIP: no chromium-headless-shell or chromium (scripts/install-deps.sh installs it)"
  exit 77
fi
rm -rf "$out"
mkdir -p "$out"
out=$(realpath "$out")
export TZ=UTC SOURCE_DATE_EPOCH=1764950400

render() {  # --dump-dom FILE > DOM, or --screenshot=PNG FILE
  local profile
  profile=$(mktemp -d)
  "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$profile" --hide-scrollbars "$@" 2>/dev/null
  rm -rf "$profile"
}

# The bundled example with the sources of its four files in the current
# directory (the default source root), under the MC/DC view.
example="$out/example"
mkdir -p "$example"
cp "$source_dir/examples/MON.sym" "$source_dir/examples/run1.dat" "$source_dir/examples/run2.dat" \
  "$source_dir/examples/qar.ini" "$example/"
cp -R "$source_dir/tests/e2e/cases/export_html_example_annotated/input/code/src" "$example/"
(cd "$example" && "$export_program" MON.sym run1.dat run2.dat -fmcdc --html report --json report.json)
render --dump-dom "file://$example/report/index.html" > "$out/index.dom.html"
render --dump-dom "file://$example/report/f00003-logic.c.html" > "$out/logic.dom.html"
python3 "$source_dir/tests/export/check_html_pages.py" figures "$out/index.dom.html" "$out/logic.dom.html" \
  src/logic.c "$example/report.json"
# The sort script: a copy of the index that clicks headings once loaded.
clicked() {  # NAME COLUMN CLICKS: the copy's DOM after CLICKS clicks on COLUMN
  sed "s|</body>|<script>for (var i = 0; i < $3; i++) document.querySelectorAll('#files th button')[$2].click();</script></body>|" \
    "$example/report/index.html" > "$example/report/$1.html"
  render --dump-dom "file://$example/report/$1.html" > "$out/$1.dom.html"
}
# The filter keeps the files whose directory and name hold its text; the
# keys j and k go from one line not fully covered to the next and back.
sed 's|</body>|<script>var f = document.getElementById("filter"); f.value = "LOGIC"; f.dispatchEvent(new Event("input"));</script></body>|' \
  "$example/report/index.html" > "$example/report/filtered.html"
render --dump-dom "file://$example/report/filtered.html" > "$out/filtered.dom.html"
python3 "$source_dir/tests/export/check_html_pages.py" filtered "$out/filtered.dom.html" src/logic.c
sed 's|</body>|<script>window.addEventListener("load", function () { var seen = []; ["j", "j", "j", "k"].forEach(function (k) { document.dispatchEvent(new KeyboardEvent("keydown", { key: k })); seen.push(location.hash); }); var p = document.createElement("pre"); p.id = "keys"; p.textContent = seen.join(" "); document.body.appendChild(p); });</script></body>|' \
  "$example/report/f00003-logic.c.html" > "$example/report/keys.html"
render --dump-dom "file://$example/report/keys.html" > "$out/keys.dom.html"
grep -q '<pre id="keys">#L5 #L13 #L13 #L5</pre>' "$out/keys.dom.html" || { echo "FAIL: keys j and k: $(grep -o '<pre id="keys">[^<]*' "$out/keys.dom.html")"; exit 1; }
clicked by-ter 1 1
python3 "$source_dir/tests/export/check_html_pages.py" sorted "$out/by-ter.dom.html" 1 ascending
clicked by-mcdc 6 2
python3 "$source_dir/tests/export/check_html_pages.py" sorted "$out/by-mcdc.dom.html" 6 descending
# The names of the index, the contrast of every text, light and dark: a
# copy of each page that measures itself once laid out (html_measure.js).
measured() {  # PAGE NAME [chromium options]: the copy's DOM with the measures
  local page=$1 name=$2
  shift 2
  { sed '/<\/body>/,$d' "$example/report/$page"; echo "<script>"; cat "$source_dir/tests/export/html_measure.js"
    echo "</script></body></html>"; } > "$example/report/$name.html"
  render "$@" --dump-dom "file://$example/report/$name.html" > "$out/$name.dom.html"
}
for width in 420 1280; do
  measured index.html "index-$width" --window-size=$width,900
  python3 "$source_dir/tests/export/check_html_pages.py" measured "$out/index-$width.dom.html" light
  measured index.html "index-$width-dark" --window-size=$width,900 --blink-settings=preferredColorScheme=0
  python3 "$source_dir/tests/export/check_html_pages.py" measured "$out/index-$width-dark.dom.html" dark
done
for page in f00003-logic.c f00004-util.c; do
  measured "$page.html" "$page-light" --window-size=1280,1400
  python3 "$source_dir/tests/export/check_html_pages.py" measured "$out/$page-light.dom.html" light
  measured "$page.html" "$page-dark" --window-size=420,1400 --blink-settings=preferredColorScheme=0
  python3 "$source_dir/tests/export/check_html_pages.py" measured "$out/$page-dark.dom.html" dark
done
render --window-size=1280,1100 --screenshot="$out/index.png" "file://$example/report/index.html" >/dev/null
render --window-size=420,1100 --screenshot="$out/index-420.png" "file://$example/report/index.html" >/dev/null
render --window-size=420,1100 --blink-settings=preferredColorScheme=0 --screenshot="$out/index-420-dark.png" "file://$example/report/index.html" >/dev/null
render --window-size=1280,1400 --screenshot="$out/logic.png" "file://$example/report/f00003-logic.c.html" >/dev/null
render --window-size=1280,1000 --screenshot="$out/parser.png" "file://$example/report/f00002-parser.cpp.html" >/dev/null

# Function names and descriptions holding markup.
hostile="$out/hostile"
mkdir -p "$hostile"
cp "$source_dir/tests/e2e/cases/export_html_hostile_texts/input/"* "$hostile/"
(cd "$hostile" && "$export_program" MON.sym MON.dat --html report)
page=$(cd "$hostile/report" && ls f00001-*.html)
render --dump-dom "file://$hostile/report/$page" > "$out/hostile.dom.html"
render --dump-dom "file://$hostile/report/index.html" > "$out/hostile-index.dom.html"
python3 "$source_dir/tests/export/check_html_pages.py" hostile "$out/hostile.dom.html" "$out/hostile-index.dom.html"
render --window-size=1280,1000 --screenshot="$out/hostile.png" "file://$hostile/report/$page" >/dev/null

for png in index index-420 index-420-dark logic parser hostile; do
  [ -s "$out/$png.png" ] || { echo "FAIL: no screenshot $png.png"; exit 1; }
done
echo "screenshots in $out"
