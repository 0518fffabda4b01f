#include "export/html/html_uncovered.h"

#include "base/quick_format.h"
#include "export/html/html_text.h"
#include "listings/postlist.h"

namespace qar {
namespace {

// A long list shows its first items and folds the rest, so that the
// functions and the code stay near the top.
constexpr size_t kListedOpen = 12;

// An item of the list: a page lists one for every uncovered item of its
// file, so each is put together with a plain pointer.
void appendItem(std::string& out, const UncoveredItem& item, bool linked) {
  const bool here = linked && item.path.empty() && item.line > 0;
  TextRoom room(out, 72 + 2 * kDecimalRoom +
                         kHtmlTextExpansion * (item.path.size() + item.function.size() + item.missing.size()));
  room.put("<li>");
  if (here) room.put("<a href=\"#L").number(item.line).put("\">");
  room.put("line ").number(item.line);
  if (here) room.put("</a>");
  if (!item.path.empty()) room.put(" of ").put(writeHtmlText, item.path);
  room.put(" <span class=\"fn\">").put(writeHtmlText, item.function).put("()</span> ");
  room.put(writeHtmlText, item.missing).put("</li>");
}

}  // namespace

void appendUncoveredList(std::string& out, const std::vector<UncoveredItem>& items, CoverageView view, bool linked) {
  out += "<h2 id=\"uncovered\">Not covered yet</h2>\n";
  if (items.empty()) {
    out += "<p class=\"sub\">Nothing: every item counted under &ldquo;";
    appendHtmlText(out, coverageViewText(view));
    out += "&rdquo; is covered.</p>\n";
    return;
  }
  out += "<ol class=\"todo\">";
  for (size_t i = 0; i < items.size() && i < kListedOpen; ++i) appendItem(out, items[i], linked);
  out += "</ol>\n";
  if (items.size() > kListedOpen) {
    out += "<details><summary>";
    appendUnsigned(out, items.size() - kListedOpen);
    out += " more</summary><ol class=\"todo\" start=\"";
    appendUnsigned(out, kListedOpen + 1);
    out += "\">";
    for (size_t i = kListedOpen; i < items.size(); ++i) appendItem(out, items[i], linked);
    out += "</ol></details>\n";
  }
}

// Lean, as the code rows are: the legend says what the arrows mean.
void putLineNavigation(TextRoom& room, const std::vector<uint32_t>& lines, size_t at) {
  if (at + 1 < lines.size()) room.put("<a class=nx href=#L").number(lines[at + 1]).put(">&darr;</a>");
  if (at > 0) room.put("<a class=nx href=#L").number(lines[at - 1]).put(">&uarr;</a>");
}

void appendLineNavigation(std::string& out, const std::vector<uint32_t>& lines, size_t at) {
  TextRoom room(out, kLineNavigationRoom);
  putLineNavigation(room, lines, at);
}

void appendNavigationScript(std::string& out, const std::vector<uint32_t>& lines) {
  if (lines.empty()) return;
  out += "<script src=\"";
  out += kHtmlLineScript;
  out += "\"></script>\n";
}

std::string_view htmlLineScript() {
  // The lines come from the page's own rows, so that the script is one file
  // for every page.
  return R"js(// qarpost-export HTML report: the keys j and k go to the next and the
// previous line that is not fully covered.
(function () {
  var rows = document.querySelectorAll("tr.n[id^=L], tr.p[id^=L]"), lines = [];
  for (var i = 0; i < rows.length; i++) lines.push(+rows[i].id.slice(1));
  lines.sort(function (a, b) { return a - b; });
  document.addEventListener("keydown", function (e) {
    if (e.ctrlKey || e.metaKey || e.altKey || /^(INPUT|TEXTAREA|SELECT)$/.test(e.target.nodeName)) return;
    var step = e.key === "j" ? 1 : e.key === "k" ? -1 : 0;
    if (!step || !lines.length) return;
    var here = +location.hash.slice(2) || 0, to = -1;
    for (var j = 0; j < lines.length; j++) {
      if (step > 0 && lines[j] > here) { to = lines[j]; break; }
      if (step < 0 && lines[j] < here) to = lines[j];
    }
    if (to >= 0) location.hash = "#L" + to;
  });
})();
)js";
}

}  // namespace qar
