#!/usr/bin/env bash
# How quickly a browser loads and sorts an index.html of the HTML report:
# a copy of the index with a timing script appended is rendered by headless
# Chromium, which runs it once the page is parsed and prints
#   parsed   ms from the start of navigation to the end of parsing (the
#            sort script has run: the headings are buttons)
#   layout   ms of the first full style and layout
#   sort N   ms of a click on a heading and the layout after it (TER, then
#            Statements, then TER again, whose keys are read already)
#   scroll   ms of a jump to the middle of the list
#
#   bench/html_index_timing.sh REPORT_DIR [RUNS]     (default: 3 runs)
set -euo pipefail
report=$(realpath "$1")
runs=${2:-3}
browser=$(command -v chromium-headless-shell || command -v chromium || true)
[ -n "$browser" ] || { echo "no chromium-headless-shell or chromium" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$report/style.css" "$work/"
probe='<script>
(function () {
  var out = [], t0;
  out.push("parsed " + performance.now().toFixed(0));
  t0 = performance.now(); document.body.offsetHeight; out.push("layout " + (performance.now() - t0).toFixed(0));
  var heads = document.querySelectorAll("#files thead button"), clicks = [1, 2, 1];
  for (var i = 0; i < clicks.length; i++) {
    t0 = performance.now(); heads[clicks[i]].click(); document.body.offsetHeight;
    out.push("sort" + (i + 1) + " " + (performance.now() - t0).toFixed(0));
  }
  t0 = performance.now(); window.scrollTo(0, document.body.scrollHeight / 2); document.body.offsetHeight;
  out.push("scroll " + (performance.now() - t0).toFixed(0));
  var p = document.createElement("pre"); p.id = "timing"; p.textContent = out.join(" ms, ") + " ms";
  document.body.appendChild(p);
})();
</script>'
python3 - "$report/index.html" "$work/index.html" "$probe" <<'PY'
import sys
text = open(sys.argv[1], encoding="utf-8").read()
at = text.rfind("</body>")
open(sys.argv[2], "w", encoding="utf-8").write(text[:at] + sys.argv[3] + text[at:])
PY
echo "$(grep -c '<tr>' "$work/index.html") rows, $(stat -c %s "$report/index.html") bytes; load average $(cut -d' ' -f1-3 /proc/loadavg)"
for ((r = 1; r <= runs; r++)); do
  profile=$(mktemp -d)
  "$browser" --headless --no-sandbox --disable-gpu --user-data-dir="$profile" --dump-dom "file://$work/index.html" \
    2>/dev/null | grep -o '<pre id="timing">[^<]*' | sed 's/<pre id="timing">//'
  rm -rf "$profile"
done
