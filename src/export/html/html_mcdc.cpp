#include "export/html/html_mcdc.h"

#include <algorithm>

#include "base/quick_format.h"
#include "export/walk/export_numbers.h"
#include "export/html/html_text.h"

namespace qar {
namespace {

// Combinations (75, 76), condition records (77) and the offset lists
// (78 to 81) that stand between a decision and its code.
bool insideMulticondition(uint32_t kind) { return kind >= 75 && kind <= 81; }
bool isCombination(uint32_t kind) { return kind == 75 || kind == 76; }

// A page lists every combination and condition of its file: each is put
// together with a plain pointer, as the listing's rows are.
void appendCombination(std::string& out, const McdcCombination& combination) {
  TextRoom room(out, 64 + 2 * kDecimalRoom + kHtmlTextExpansion * combination.values.size());
  room.number(combination.number).put("&nbsp;<code>").put(writeHtmlText, combination.values);
  room.put("</code>&nbsp;").put(combination.outcome ? std::string_view("TRUE ") : std::string_view("FALSE "));
  if (combination.count == 0) {
    room.put("<b>never ran</b>");
  } else {
    room.number(combination.count).put(combination.count == 1 ? std::string_view(" run") : std::string_view(" runs"));
  }
}

void putPair(TextRoom& room, const McdcPair& pair) {
  room.number(pair.trueCombination).put(" + ").number(pair.falseCombination);
}
constexpr size_t kPairRoom = 2 * kDecimalRoom + 3;

void appendCondition(std::string& out, const McdcConditionResult& condition, std::span<const McdcPair> pairs,
                     std::string_view name) {
  TextRoom room(out, 200 + kDecimalRoom + kHtmlTextExpansion * name.size() + pairs.size() * (kPairRoom + 4));
  room.put(condition.covered ? std::string_view("<tr class=c><th scope=row>")
                             : std::string_view("<tr class=n><th scope=row>"));
  room.number(condition.number);
  if (!name.empty()) room.put(" <code>").put(writeHtmlText, name).put("</code>");
  room.put("</th><td>");
  if (condition.covered && !pairs.empty()) {
    room.put("&#10003; covered by ");
    putPair(room, pairs.front());
  } else if (pairs.empty()) {
    room.put("&#10007; no independence pair: no two combinations differ in this condition alone");
  } else {
    room.put("&#10007; no independence pair ran; it needs ");
    for (size_t i = 0; i < pairs.size(); ++i) {
      if (i > 0) room.put(i + 1 == pairs.size() ? std::string_view(" or ") : std::string_view(", "));
      putPair(room, pairs[i]);
    }
  }
  room.put("</td></tr>\n");
}

}  // namespace

std::string_view ConditionNames::name(size_t multicondition, size_t condition) const {
  if (condition >= count(multicondition)) return {};
  const size_t at = firsts[multicondition] + condition;
  const size_t start = at == 0 ? 0 : ends[at - 1];
  return std::string_view(text).substr(start, ends[at] - start);
}

void multiconditionNames(const UncoveredCollector& collector, const FileResult& file, ConditionNames& names) {
  names.text.clear();
  names.ends.clear();
  names.firsts.clear();
  const auto unnamed = [&names](size_t count) {
    names.firsts.insert(names.firsts.end(), count, static_cast<uint32_t>(names.ends.size()));
  };
  const size_t count = std::min(collector.functions.size(), file.functions.size());
  for (size_t f = 0; f < count; ++f) {
    const std::vector<CollectedRecord>& records = collector.functions[f];
    size_t analysed = 0;
    size_t at = 1;
    while (at < records.size()) {
      if (!insideMulticondition(records[at].kind)) {
        ++at;
        continue;
      }
      bool anyCombination = false;
      // The names are put in as met and taken back when the records turn
      // out not to be an analysed multicondition.
      const size_t textSize = names.text.size();
      const size_t named = names.ends.size();
      while (at < records.size() && insideMulticondition(records[at].kind)) {
        anyCombination = anyCombination || isCombination(records[at].kind);
        if (records[at].kind == 77) {
          names.text += records[at].text;
          names.ends.push_back(static_cast<uint32_t>(names.text.size()));
        }
        ++at;
      }
      if (!anyCombination || at == records.size() || analysed >= file.functions[f].multiconditions.size()) {
        names.text.resize(textSize);
        names.ends.resize(named);
        continue;
      }
      ++analysed;
      names.firsts.push_back(static_cast<uint32_t>(named));
    }
    // Analyses the records do not account for keep their place, unnamed.
    unnamed(file.functions[f].multiconditions.size() - analysed);
  }
  for (size_t f = count; f < file.functions.size(); ++f) unnamed(file.functions[f].multiconditions.size());
  if (!names.firsts.empty()) names.firsts.push_back(static_cast<uint32_t>(names.ends.size()));
}

void appendMcdcSection(std::string& out, const FileResult& file, const ConditionNames& names, bool linesLinked) {
  size_t number = 0;
  for (const FunctionResult& function : file.functions) {
    for (const MulticonditionResult& multicondition : function.multiconditions) {
      if (number == 0) {
        out += "<h2 id=\"mcdc\">MC/DC</h2>\n<p class=\"sub\">A condition is covered when two combinations that "
               "differ in it alone ran with different outcomes (its independence pair).</p>\n";
      }
      ++number;
      out += "<table class=\"grid mcdc\" id=\"M";
      appendUnsigned(out, number);
      out += "\"><caption>";
      if (linesLinked && function.path.empty()) {
        out += "<a href=\"#L";
        appendUnsigned(out, multicondition.line);
        out += "\">Line ";
        appendUnsigned(out, multicondition.line);
        out += "</a>";
      } else {
        out += "Line ";
        appendUnsigned(out, multicondition.line);
      }
      out += " in ";
      appendHtmlText(out, function.name);
      out += "()<span class=\"sub\">Combinations: ";
      for (size_t i = 0; i < multicondition.combinations.size(); ++i) {
        if (i > 0) out += " &middot; ";
        appendCombination(out, multicondition.combinations[i]);
      }
      out += "</span></caption>\n<thead><tr><th scope=\"col\">Condition</th><th scope=\"col\">Independence pair"
             "</th></tr></thead>\n<tbody>\n";
      for (const McdcConditionResult& condition : multicondition.conditions) {
        appendCondition(out, condition, pairsOf(multicondition, condition),
                        names.name(number - 1, condition.number - 1));
      }
      out += "</tbody></table>\n";
    }
  }
}

std::vector<McdcMark> mcdcMarks(const FileResult& file) {
  std::vector<McdcMark> marks;
  size_t number = 0;
  for (const FunctionResult& function : file.functions) {
    for (const MulticonditionResult& multicondition : function.multiconditions) {
      ++number;
      if (!function.path.empty()) continue;
      McdcMark& mark = marks.emplace_back();
      mark.line = multicondition.line;
      mark.number = number;
      for (const McdcConditionResult& condition : multicondition.conditions) {
        ++mark.conditions;
        if (condition.covered) ++mark.covered;
      }
    }
  }
  std::stable_sort(marks.begin(), marks.end(), [](const McdcMark& a, const McdcMark& b) { return a.line < b.line; });
  return marks;
}

void appendMcdcLink(std::string& out, const McdcMark& mark) {
  out += "<span class=\"ann\"><a href=\"#M";
  appendUnsigned(out, mark.number);
  out += "\">MC/DC: ";
  appendUnsigned(out, mark.covered);
  out += " of ";
  appendUnsigned(out, mark.conditions);
  out += mark.conditions == 1 ? " condition" : " conditions";
  out += " with an independence pair</a></span>";
}

}  // namespace qar
