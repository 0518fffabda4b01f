#include "export/html/html_parts.h"

#include "base/quick_format.h"
#include "export/html/html_text.h"
#include "export/walk/export_numbers.h"
#include "listings/measures.h"

namespace qar {
namespace {

// The bar's colour class: a person reads the level at a glance; the number
// beside it carries the same information without colour.
const char* levelClass(uint32_t percent) {
  if (percent >= 90) return "hi";
  if (percent >= 60) return "mid";
  return "lo";
}

}  // namespace

void appendHtmlHead(std::string& out, std::string_view title) {
  out += kHtmlHeadStart;
  appendHtmlText(out, title);
  out += "</title>\n<link rel=\"stylesheet\" href=\"";
  out += kHtmlStyleSheet;
  out += "\">\n</head>\n<body>\n";
}

void appendHtmlTail(std::string& out) { out += "</body>\n</html>\n"; }

HtmlFigure terFigure(std::string_view label, const TerFigures& ter) {
  return {label, terPercent(ter.items, ter.misses), ter.covered(), ter.items, "items", {}};
}

HtmlFigure statementFigure(const StatementTotals& statements) {
  HtmlFigure figure{"Statements", statementPercent(statements.hits, statements.total), statements.hits,
                    statements.total, "statements", {}};
  if (statements.functionsWithoutFigures > 0) {
    figure.note = "N.A. for ";
    appendUnsigned(figure.note, statements.functionsWithoutFigures);
    figure.note += statements.functionsWithoutFigures == 1 ? " function" : " functions";
  }
  return figure;
}

HtmlFigure countFigure(std::string_view label, const CoverageCount& count, std::string_view unit) {
  return {label, terPercent(count.found, count.found - count.hit), count.hit, count.found, unit, {}};
}

HtmlFigure mcdcFigure(const McdcTotals& mcdc) {
  return {"MC/DC", terPercent(mcdc.conditions, mcdc.conditions - mcdc.covered), mcdc.covered, mcdc.conditions,
          "conditions", {}};
}

namespace {

// Tenths of a percent, truncated: 99.95 % reads 99.9 %, and 100.0 % only
// when everything is covered.
void putPercentText(TextRoom& room, uint64_t covered, uint64_t items) {
  const uint64_t tenths = items == 0 ? 1000 : covered * 1000 / items;
  room.number(tenths / 10).put('.').number(tenths % 10).put(" %");
}

}  // namespace

void appendPercentText(std::string& out, uint64_t covered, uint64_t items) {
  TextRoom room(out, 2 * kDecimalRoom + 3);
  putPercentText(room, covered, items);
}

void appendFigureCard(std::string& out, const HtmlFigure& figure) {
  if (figure.items == 0) {
    // Nothing to count: no percentage and no bar, so an empty measure never
    // reads as a full one.
    out += "<div class=\"card na\"><div class=\"label\">";
    appendHtmlText(out, figure.label);
    out += "</div><div class=\"pct\">&mdash;</div><div class=\"of\">no ";
    out += figure.unit;
    out += "</div>";
  } else {
    out += "<div class=\"card ";
    out += levelClass(figure.percent);
    out += "\"><div class=\"label\">";
    appendHtmlText(out, figure.label);
    out += "</div><div class=\"pct\">";
    appendPercentText(out, figure.covered, figure.items);
    out += "</div><div class=\"bar\" style=\"--w:";
    appendUnsigned(out, figure.percent);
    out += "%\"></div><div class=\"of\">";
    appendUnsigned(out, figure.covered);
    out += " of ";
    appendUnsigned(out, figure.items);
    out += ' ';
    out += figure.unit;
    out += "</div>";
  }
  if (!figure.note.empty()) {
    out += "<div class=\"note\">";
    out += figure.note;
    out += "</div>";
  }
  out += "</div>\n";
}

namespace {

// What a table cell of a figure shows: "87 %" and "7/8" beneath, then the
// cell's end. The function tables and the index have a cell per figure and
// file or function: each is put together with a plain pointer.
constexpr size_t kCellFiguresRoom = 4 * kDecimalRoom + 24;

void putCellFigures(TextRoom& room, const HtmlFigure& figure) {
  putPercentText(room, figure.covered, figure.items);
  room.put("<small>").number(figure.covered).put('/').number(figure.items).put("</small></td>");
}

}  // namespace

void appendFigureCell(std::string& out, const HtmlFigure& figure) {
  if (figure.items == 0) return appendEmptyFigureCell(out);
  TextRoom room(out, 48 + 2 * kDecimalRoom + kCellFiguresRoom);
  room.put("<td class=\"f ").put(levelClass(figure.percent)).put("\" data-k=\"");
  room.number(htmlSortKey(figure.covered, figure.items)).put("\" style=\"--w:").number(figure.percent).put("%\">");
  putCellFigures(room, figure);
}

void appendEmptyFigureCell(std::string& out) { out += "<td class=\"f na\" data-k=\"-1\">&mdash;</td>"; }

void appendIndexFigureCell(std::string& out, const HtmlFigure& figure) {
  if (figure.items == 0) return appendIndexEmptyCell(out);
  TextRoom room(out, 16 + kDecimalRoom + kCellFiguresRoom);
  room.put("<td class=p").number(figure.percent).put('>');
  putCellFigures(room, figure);
}

void appendIndexEmptyCell(std::string& out) { out += "<td class=na>&mdash;</td>"; }

namespace {

constexpr std::string_view kStyleSheet = R"css(/* qarpost-export HTML report */
:root {
  color-scheme: light dark;
  --ink: #1d2330; --muted: #5d6678; --line: #dfe3ea; --paper: #ffffff; --tint: #f5f7fa;
  --head: #eef1f6; --head-ink: #3a4254; --link: #2458b3; --tag: #e8ecf4; --focus: #2f6fd6;
  --hi: #2e9b57; --mid: #d99a15; --lo: #d64545; --track: #e6e9ef;
  --covered: #e3f5e8; --partly: #fdf2d5; --missed: #fbe2e2;
  --row-c: #f3fbf5; --row-p: #fffaea; --row-n: #fdf0f0;
  --mark-c: #1b6e3b; --mark-p: #7a5200; --mark-n: #b42323;
  --mono: ui-monospace, "DejaVu Sans Mono", "Liberation Mono", Menlo, Consolas, monospace;
}
@media (prefers-color-scheme: dark) {
  :root {
    --ink: #e6edf3; --muted: #9aa4b2; --line: #30363d; --paper: #161b22; --tint: #0d1117;
    --head: #1f2630; --head-ink: #c9d1d9; --link: #6cb6ff; --tag: #2a3140; --focus: #6cb6ff;
    --hi: #3fb950; --mid: #d29922; --lo: #f85149; --track: #30363d;
    --covered: #12301d; --partly: #3a2e0b; --missed: #3d1518;
    --row-c: #14241a; --row-p: #2a2410; --row-n: #2c1517;
    --mark-c: #56d364; --mark-p: #e3b341; --mark-n: #ff7b72;
  }
}
* { box-sizing: border-box; }
body { margin: 0; font: 15px/1.45 system-ui, "DejaVu Sans", "Liberation Sans", Arial, sans-serif;
  color: var(--ink); background: var(--tint); }
main, header.top { max-width: 1180px; margin: 0 auto; padding: 0 24px; }
header.top { padding-top: 20px; }
header.top nav { font-size: 14px; margin-bottom: 6px; }
/* Names break between words and after "/" first; inside a name only when
   it is longer than the line. */
h1 { font-size: 24px; margin: 0 0 4px; overflow-wrap: anywhere; }
h2 { font-size: 18px; margin: 28px 0 10px; }
.sub { color: var(--muted); margin: 0 0 16px; }
a { color: var(--link); text-decoration: none; }
a:hover, a:focus { text-decoration: underline; }
:focus-visible { outline: 2px solid var(--focus); outline-offset: 1px; }
code { font: 13px var(--mono); }
.panel { background: var(--paper); border: 1px solid var(--line); border-radius: 8px; padding: 14px 18px; }
dl.run { display: grid; grid-template-columns: max-content 1fr; gap: 4px 18px; margin: 0; }
dl.run dt { color: var(--muted); }
dl.run dd { margin: 0; overflow-wrap: anywhere; min-width: 0; }
ul.plain { list-style: none; margin: 0; padding: 0; }
.notices li { padding: 2px 0; }
.cards { display: grid; grid-template-columns: repeat(auto-fill, minmax(165px, 1fr)); gap: 12px; margin: 16px 0; }
.card { background: var(--paper); border: 1px solid var(--line); border-radius: 8px; padding: 12px 14px; }
.card .label { color: var(--muted); font-size: 13px; text-transform: uppercase; letter-spacing: .04em; }
.card .pct { font-size: 28px; font-weight: 650; margin: 2px 0 6px; }
.card.na .pct { color: var(--muted); }
.card .of, .card .note { color: var(--muted); font-size: 13px; overflow-wrap: break-word; }
dl.run summary, details summary { cursor: pointer; color: var(--muted); }
.bar { height: 6px; border-radius: 3px; margin-bottom: 6px;
  background: linear-gradient(var(--c), var(--c)) no-repeat left / var(--w) 100%, var(--track); }
.hi { --c: var(--hi); } .mid { --c: var(--mid); } .lo { --c: var(--lo); }
.lowest { margin: 16px 0; }
.lowest h2 { margin: 0 0 2px; font-size: 16px; }
.lowest .sub { margin: 0 0 6px; font-size: 13px; }
.lowest ol { margin: 0; padding-left: 28px; }
.lowest li { overflow-wrap: anywhere; padding: 1px 0; }
.lowest .pct { font-weight: 600; font-variant-numeric: tabular-nums; margin-left: 6px; }
.lowest .sub { font-size: 13px; }
.warn { background: var(--partly); border: 1px solid var(--line); border-left: 4px solid var(--mark-p);
  border-radius: 6px; padding: 8px 12px; margin: 0 0 12px; }
ol.todo { background: var(--paper); border: 1px solid var(--line); border-radius: 8px; margin: 0 0 8px;
  padding: 8px 14px 8px 42px; }
ol.todo li { padding: 1px 0; overflow-wrap: anywhere; }
ol.todo .fn { font: 13px var(--mono); color: var(--muted); margin: 0 4px; }
table { border-collapse: collapse; width: 100%; background: var(--paper); }
table.grid { border: 1px solid var(--line); border-radius: 8px; }
table.grid th, table.grid td { padding: 5px 10px; border-bottom: 1px solid var(--line); text-align: left; }
table.grid thead th { background: var(--head); font-size: 13px; color: var(--head-ink); font-weight: 600;
  position: sticky; top: 0; }
table.grid tbody th { font-weight: normal; overflow-wrap: anywhere; }
table.grid td.num, table.grid th.num { text-align: right; font-variant-numeric: tabular-nums; }
table.grid th small { display: block; font-weight: normal; color: var(--head-ink); }
table.mcdc { margin-bottom: 12px; }
table.mcdc caption { text-align: left; padding: 4px 0 6px; font-weight: 600; caption-side: top; }
table.mcdc caption .sub { display: block; font-weight: normal; margin: 2px 0 0; }
table.mcdc tr.c td:first-of-type { color: var(--mark-c); }
table.mcdc tr.n td:first-of-type, table.mcdc b, .ann b { color: var(--mark-n); }
/* The index's file list: a header table that stays in sight, then a
   section per directory, laid out only when it comes into sight. */
.filelist { border: 1px solid var(--line); border-radius: 8px; background: var(--paper); }
.filter { display: block; margin: 0 0 10px; }
.filter input { font: inherit; width: min(100%, 360px); padding: 5px 8px; border: 1px solid var(--muted);
  border-radius: 6px; color: var(--ink); background: var(--paper); }
table.files { table-layout: fixed; }
table.files col.fig { width: 132px; }
table.files th, table.files td { padding: 5px 10px; border-bottom: 1px solid var(--line); text-align: left;
  white-space: nowrap; overflow: hidden; text-overflow: ellipsis; }
table.files tbody th, table.files tr.total th { font-weight: normal; white-space: normal; overflow-wrap: anywhere; }
table.files tr.total > * { background-color: var(--tint); font-weight: 600; }
#files { position: sticky; top: 0; z-index: 1; border-radius: 8px 8px 0 0; }
#files th { background: var(--head); font-size: 13px; color: var(--head-ink); font-weight: 600; }
.filelist section { content-visibility: auto; }
.filelist h3 { margin: 0; padding: 5px 10px; font-size: 15px; font-weight: 600; background: var(--tint);
  border-top: 2px solid var(--line); border-bottom: 1px solid var(--line); overflow-wrap: anywhere; }
table.files td { font-variant-numeric: tabular-nums; padding-bottom: 9px;
  background: linear-gradient(var(--c), var(--c)) no-repeat 10px calc(100% - 4px) / calc((100% - 20px) * var(--w) / 100%) 3px,
    linear-gradient(var(--track), var(--track)) no-repeat 10px calc(100% - 4px) / calc(100% - 20px) 3px; }
table.files td small { color: var(--muted); margin-left: 6px; }
table.files td.na { background: none; color: var(--muted); }
#files th button { all: inherit; cursor: pointer; padding: 0; }
#files th button::after { content: " \2195"; color: var(--muted); }
#files th[aria-sort=ascending] button::after { content: " \2191"; color: var(--ink); }
#files th[aria-sort=descending] button::after { content: " \2193"; color: var(--ink); }
td.f { font-variant-numeric: tabular-nums; padding-bottom: 9px !important; white-space: nowrap;
  background: linear-gradient(var(--c), var(--c)) no-repeat 10px calc(100% - 4px) / calc((100% - 20px) * var(--w) / 100%) 3px,
    linear-gradient(var(--track), var(--track)) no-repeat 10px calc(100% - 4px) / calc(100% - 20px) 3px; }
td.f small { color: var(--muted); margin-left: 6px; }
td.f.na { background: none; color: var(--muted); }
.tag { display: inline-block; font-size: 11px; padding: 0 6px; border-radius: 9px; background: var(--tag);
  color: var(--head-ink); margin-left: 6px; vertical-align: 1px; white-space: nowrap; }
.tag.warn { background: var(--partly); color: var(--mark-p); border: 0; margin: 0 0 0 6px; padding: 0 6px; }
.legend { display: flex; flex-wrap: wrap; gap: 6px 14px; font-size: 13px; color: var(--muted); margin: 0 0 8px; }
.legend span { display: inline-flex; align-items: center; gap: 5px; }
.legend i { font-style: normal; display: inline-block; min-width: 22px; text-align: center; border-radius: 4px;
  padding: 0 4px; color: var(--ink); }
.key-c { background: var(--covered); } .key-p { background: var(--partly); } .key-n { background: var(--missed); }
.key-x { background: var(--paper); border: 1px solid var(--line); }
table.code { font: 13px/1.5 var(--mono); border: 1px solid var(--line); border-radius: 8px; tab-size: 4; }
table.code td { padding: 0 8px; vertical-align: top; }
table.code th { font: 600 12px system-ui, sans-serif; color: var(--head-ink); background: var(--head); text-align: left;
  padding: 4px 8px; }
table.code th.num { text-align: right; }
/* Annotated source: line, hits, state, source. Listing rows: hits, false,
   state, line, description. */
table.src td:nth-child(1), table.rows td:nth-child(4) { text-align: right; color: var(--muted); width: 1%;
  white-space: nowrap; border-right: 1px solid var(--line); }
table.src td:nth-child(1) a { color: inherit; }
table.src td:nth-child(2), table.rows td:nth-child(1), table.rows td:nth-child(2) { text-align: right; width: 1%;
  white-space: nowrap; color: var(--head-ink); }
table.src td:nth-child(3), table.rows td:nth-child(3) { width: 1%; white-space: nowrap; text-align: center; font-weight: 700; }
table.src td:nth-child(4), table.rows td:nth-child(5) { white-space: pre-wrap; overflow-wrap: anywhere; width: 100%; }
table.src tr.an td:nth-child(4) { white-space: normal; }
table.code tr.c td { background: var(--row-c); } table.code tr.p td { background: var(--row-p); }
table.code tr.n td { background: var(--row-n); }
table.src tr.c td:nth-child(-n+3), table.rows tr.c td:nth-child(-n+3) { background: var(--covered); }
table.src tr.p td:nth-child(-n+3), table.rows tr.p td:nth-child(-n+3) { background: var(--partly); }
table.src tr.n td:nth-child(-n+3), table.rows tr.n td:nth-child(-n+3) { background: var(--missed); }
table.code tr.c td:nth-child(3) { color: var(--mark-c); } table.code tr.p td:nth-child(3) { color: var(--mark-p); }
table.code tr.n td:nth-child(3) { color: var(--mark-n); }
table.rows td:nth-child(5) b { color: var(--mark-n); }
table.src tr.an td:nth-child(1) { background: var(--paper); }
tr.an td { padding-top: 0; padding-bottom: 3px; }
.ann { display: block; font-size: 12px; color: var(--head-ink); padding-left: 14px; border-left: 2px solid var(--line); margin: 1px 0; }
.ann .cnt { display: inline-block; min-width: 7em; color: var(--muted); }
.ann.miss { border-left-color: var(--mark-n); }
table.code tr:target td { outline: 2px solid var(--focus); outline-offset: -2px; }
.up, .nx { float: right; font: 12px system-ui, sans-serif; margin-left: 8px; }
footer { color: var(--muted); font-size: 12px; margin: 28px auto 24px; max-width: 1180px; padding: 0 24px; }
/* A narrow window (a phone, a portrait tablet, a zoomed window): each file
   is a block with its name on a line of its own and the figures below it,
   so that the names stay readable; figures wrap before names give way. */
@media (max-width: 860px) {
  main, header.top, footer { padding: 0 12px; }
  table.files, table.files thead, table.files tbody { display: block; }
  table.files colgroup { display: none; }
  table.files tr { display: flex; flex-wrap: wrap; border-bottom: 1px solid var(--line); }
  table.files th, table.files td { display: block; border-bottom: 0; }
  table.files tr > :first-child { flex: 1 0 100%; white-space: normal; overflow-wrap: anywhere; }
  table.files tr > * + * { flex: 1 0 132px; }
  /* The columns' headings are no longer above the figures: each names its own. */
  table.files td::before { display: block; font-size: 11px; color: var(--muted); }
  table.files td:nth-child(2)::before { content: "TER"; }
  table.files td:nth-child(3)::before { content: "Statements"; }
  table.files td:nth-child(4)::before { content: "Functions"; }
  table.files td:nth-child(5)::before { content: "Lines"; }
  table.files td:nth-child(6)::before { content: "Branches"; }
  table.files td:nth-child(7)::before { content: "MC/DC"; }
  #files tr > :first-child { flex-basis: auto; flex-grow: 0; }
  #files tr > * + * { flex: 0 1 auto; }
  dl.run { grid-template-columns: 1fr; gap: 0; }
  dl.run dd { margin-bottom: 6px; }
  table.code { font-size: 12px; }
}
@media print { body { background: #fff; } th { position: static !important; } }
)css";

}  // namespace

std::string_view htmlStyleSheet() {
  // The bar of an index cell: its class "pN" gives the length N % and the
  // level's colour.
  static const std::string sheet = [] {
    std::string text(kStyleSheet);
    for (uint32_t percent = 0; percent <= 100; ++percent) {
      text += ".p";
      appendUnsigned(text, percent);
      text += " { --w: ";
      appendUnsigned(text, percent);
      text += "%; --c: var(--";
      text += levelClass(percent);
      text += "); }\n";
    }
    return text;
  }();
  return sheet;
}

std::string_view htmlSortScript() {
  // The file names are already in order, so a file's position is its name's
  // key; a figure's key is covered / items from its cell ("-1" for a figure
  // that does not apply), read once per column. Rows move only within their
  // directory's table, and the browser lays out only the tables in sight.
  // The filter, made here since it needs the script, hides the files whose
  // directory and name do not hold its text, and the directories left empty.
  return R"js(<script>
(function () {
  var head = document.getElementById("files");
  if (!head) return;
  var heads = head.tHead.rows[0].cells, groups = [], keys = [], state = { col: 0, dir: 1 };
  var sections = document.querySelectorAll(".filelist section");
  for (var b = 0; b < sections.length; b++) {
    var body = sections[b].querySelector("tbody"), dir = sections[b].querySelector("h3").textContent;
    var rows = Array.prototype.slice.call(body.rows), names = [];
    for (var r = 0; r < rows.length; r++) names.push((dir + rows[r].cells[0].firstChild.textContent).toLowerCase());
    groups.push({ section: sections[b], body: body, rows: rows, names: names });
  }
  function keyOf(cell) {
    var small = cell.lastChild;
    if (!small || small.nodeName !== "SMALL") return -1;
    var parts = small.textContent.split("/");
    return +parts[1] > 0 ? parts[0] / parts[1] : -1;
  }
  function keysOf(col) {
    if (keys[col]) return keys[col];
    var out = [];
    for (var g = 0; g < groups.length; g++) {
      var rows = groups[g].rows, k = new Float64Array(rows.length);
      for (var i = 0; i < rows.length; i++) k[i] = col === 0 ? i : keyOf(rows[i].cells[col]);
      out.push(k);
    }
    return (keys[col] = out);
  }
  function sortBy(col) {
    state.dir = state.col === col ? -state.dir : 1;
    state.col = col;
    var k = keysOf(col), d = state.dir;
    for (var g = 0; g < groups.length; g++) {
      var grp = groups[g], kg = k[g], idx = [];
      for (var i = 0; i < grp.rows.length; i++) idx.push(i);
      // A figure with nothing to count ("-1") stays after every number,
      // whichever way the column is sorted.
      idx.sort(function (a, b) {
        var na = kg[a] < 0, nb = kg[b] < 0;
        if (na !== nb) return na ? 1 : -1;
        return (kg[a] - kg[b]) * d || a - b;
      });
      var frag = document.createDocumentFragment();
      for (var j = 0; j < idx.length; j++) frag.appendChild(grp.rows[idx[j]]);
      grp.body.appendChild(frag);
    }
    for (var h = 0; h < heads.length; h++) heads[h].removeAttribute("aria-sort");
    heads[col].setAttribute("aria-sort", d > 0 ? "ascending" : "descending");
  }
  for (var c = 0; c < heads.length; c++) {
    var button = document.createElement("button");
    button.type = "button";
    button.textContent = heads[c].textContent;
    button.title = "Sort by " + heads[c].textContent;
    heads[c].textContent = "";
    heads[c].appendChild(button);
    button.addEventListener("click", sortBy.bind(null, c));
  }
  heads[0].setAttribute("aria-sort", "ascending");
  var label = document.createElement("label"), input = document.createElement("input");
  label.className = "filter";
  label.textContent = "Filter by name ";
  input.type = "search";
  input.id = "filter";
  label.appendChild(input);
  head.parentNode.parentNode.insertBefore(label, head.parentNode);
  input.addEventListener("input", function () {
    var text = input.value.toLowerCase();
    for (var g = 0; g < groups.length; g++) {
      var grp = groups[g], shown = 0;
      for (var i = 0; i < grp.rows.length; i++) {
        var hit = grp.names[i].indexOf(text) >= 0;
        grp.rows[i].hidden = !hit;
        if (hit) shown++;
      }
      grp.section.hidden = shown === 0;
    }
  });
})();
</script>
)js";
}

}  // namespace qar
