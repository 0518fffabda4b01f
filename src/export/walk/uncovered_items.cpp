// The uncovered items of one file. Extents follow the records: a probe
// record reaches up to the line before the next record's line, so the
// continuation lines of a condition written over several lines belong to
// it, but never past its function's end; a function spans its record's line
// to its end record's line.
#include "export/walk/uncovered_items.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "coverage/record_reader.h"
#include "listings/measures.h"

namespace qar {
namespace {

bool isCombination(uint32_t kind) { return kind == 75 || kind == 76; }
bool insideMulticondition(uint32_t kind) { return kind >= 75 && kind <= 81; }
bool isDecisionKind(uint32_t kind) { return (kind >= 20 && kind <= 25) || (kind >= 70 && kind <= 74); }

std::string quoted(std::string_view text) { return "`" + std::string(text) + "`"; }

// Whether the view counts something missed in a record (the listing's "-"
// marker): cheap, so that the words are made only for the items wanted.
bool missedInView(const CollectedRecord& r, CoverageView view) {
  Probe probe;
  probe.kind = r.kind;
  probe.counter1 = r.counter1;
  probe.counter2 = r.counter2;
  return probeTerFigures(probe, view).misses != 0;
}

// What is missed in a record the view counts as missed, in words.
std::string missingPart(const CollectedRecord& r, UncoveredKind& kind) {
  const auto outcomes = [&r](std::string_view subject) {
    std::string prefix = subject.empty() ? "" : std::string(subject) + ": ";
    if (r.counter1 == 0 && r.counter2 == 0) return prefix + "never evaluated (TRUE and FALSE outcomes never taken)";
    return prefix + (r.counter1 == 0 ? "TRUE outcome never taken" : "FALSE outcome never taken");
  };
  switch (r.kind) {
    case 0: kind = UncoveredKind::Function; return "never called";
    case 14: kind = UncoveredKind::SwitchLabel; return "case " + r.text + " never taken";
    case 15: kind = UncoveredKind::SwitchLabel; return "default never taken";
    case 16: kind = UncoveredKind::SwitchLabel; return "implicit default (no case matched) never taken";
    case 75: kind = UncoveredKind::Combination; return "combination " + r.text + " (TRUE) never occurred";
    case 76: kind = UncoveredKind::Combination; return "combination " + r.text + " (FALSE) never occurred";
    case 85: kind = UncoveredKind::AndOr; return outcomes("and/or expression " + quoted(r.text));
    case 77:
      kind = UncoveredKind::Condition;
      if (r.counter1 == 0 && r.counter2 == 0) return "condition " + quoted(r.text) + " never evaluated";
      return "condition " + quoted(r.text) + (r.counter1 == 0 ? " never TRUE" : " never FALSE");
    default: break;
  }
  if (r.kind >= 30 && r.kind <= 35) {
    kind = UncoveredKind::ConstantDecision;
    return "constant decision never reached";
  }
  if (isDecisionKind(r.kind)) {
    kind = UncoveredKind::Decision;
    return outcomes("");
  }
  kind = UncoveredKind::Jump;
  const char* name = probeKindInfo(r.kind).name;
  return std::string(*name != 0 ? name : "statement") + " never reached";
}

// Where a record's item is: its place when the walk named one other than
// the file's own, else its function's.
std::string_view itemPath(const UncoveredCollector& collector, uint32_t place, const FunctionResult& function,
                          std::string_view filePath) {
  if (place == 0 || place >= collector.places.size()) return function.path;
  const std::string& path = collector.places[place];
  return path == filePath ? std::string_view() : std::string_view(path);
}

bool selected(const ItemSelector& select, std::string_view path, uint32_t first, uint32_t last) {
  return !select || select(path, first, last);
}

std::string mcdcMissing(uint32_t number, std::string_view name) {
  const std::string who = name.empty() ? "condition " + std::to_string(number) : quoted(name);
  std::string text = "condition " + std::to_string(number);
  if (!name.empty()) text += " (" + quoted(name) + ")";
  return text + " has no independence pair: needs runs where only " + who + " changes the outcome";
}

// The uncovered MC/DC conditions, each with its missing pair in words.
void addMcdcItems(const std::vector<CollectedRecord>& records, const FunctionResult& function,
                  const UncoveredCollector& collector, std::string_view filePath, const ItemSelector& select,
                  std::vector<UncoveredItem>& items) {
  for (const McdcConditionExtent& c : mcdcConditionExtents(records, function)) {
    if (c.condition->covered) continue;
    const std::string_view path = itemPath(collector, c.place, function, filePath);
    if (!selected(select, path, c.line, c.lastLine)) continue;
    items.push_back({c.line, c.lastLine, UncoveredKind::McdcCondition, std::string(path), function.name,
                     mcdcMissing(c.condition->number, c.name), 0});
  }
}

// A record the view counts as missed, before its words are made.
struct MissedRecord {
  uint32_t line = 0;
  uint32_t lastLine = 0;
  size_t at = 0;
};

// Statements never reached, where no item of the function (a function never
// called, an outcome never taken, a jump never reached) already spans them.
// Every missed record counts as spanning, whether its item is selected or not.
void addStatementItems(const FunctionResult& function, const std::vector<MissedRecord>& missedRecords,
                       std::string_view path, const ItemSelector& select, std::vector<UncoveredItem>& out) {
  for (const RecordStatements& s : function.recordStatements) {
    if (s.hits >= s.total) continue;
    const uint32_t first = statementsFirstLine(s);
    bool spanned = false;
    for (size_t i = 0; i < missedRecords.size() && !spanned; ++i) {
      spanned = missedRecords[i].line <= s.line && first <= missedRecords[i].lastLine;
    }
    if (spanned) continue;
    // A block end counts the statements of its block, before it; any other
    // record counts itself among them, on its own line.
    const uint32_t line = s.kind == 3 ? first : s.line;
    if (!selected(select, path, std::min(first, line), s.line)) continue;
    const uint32_t missed = s.total - s.hits;
    out.push_back({line, s.line, UncoveredKind::Statement, std::string(path), function.name,
                   missed == 1 ? std::string("statement never reached")
                               : std::to_string(missed) + " statements never reached",
                   first});
  }
}

}  // namespace

bool inOnePlace(const std::vector<CollectedRecord>& records) {
  for (const CollectedRecord& r : records) {
    if (r.place != records.front().place) return false;
  }
  return true;
}

uint32_t functionExtentEnd(const std::vector<CollectedRecord>& records) {
  // Records that a line directive put in another file have lines of that file.
  const uint32_t home = records.front().place;
  uint32_t end = records.front().line;
  bool endRecordSeen = false;
  for (const CollectedRecord& r : records) {
    if (r.place != home) continue;
    if (r.kind == 1 || r.kind == 2) {
      end = r.line;
      endRecordSeen = true;
    } else if (!endRecordSeen) {
      end = std::max(end, r.line);
    }
  }
  return std::max(end, records.front().line);
}

uint32_t recordExtentEnd(const std::vector<CollectedRecord>& records, size_t at, uint32_t functionEnd) {
  const uint32_t line = records[at].line;
  if (at + 1 >= records.size() || records[at + 1].place != records[at].place) return line;
  const uint32_t next = records[at + 1].line;
  if (next <= line + 1) return line;
  const uint32_t cap = records[at].place == records.front().place ? functionEnd : UINT32_MAX;
  return std::max(line, std::min(next - 1, cap));
}

// The multiconditions closed inside the function, matched in order with the
// walk's analysis; the walk drops a multicondition still open at the
// function's end, and so does this.
std::vector<McdcConditionExtent> mcdcConditionExtents(const std::vector<CollectedRecord>& records,
                                                      const FunctionResult& function) {
  std::vector<McdcConditionExtent> extents;
  if (records.empty()) return extents;
  const uint32_t end = functionExtentEnd(records);
  size_t analysed = 0;
  size_t at = 1;
  std::vector<std::string_view> names;
  while (at < records.size()) {
    if (!insideMulticondition(records[at].kind)) {
      ++at;
      continue;
    }
    const size_t first = at;
    bool anyCombination = false;
    names.clear();
    while (at < records.size() && insideMulticondition(records[at].kind)) {
      anyCombination = anyCombination || isCombination(records[at].kind);
      if (records[at].kind == 77) names.push_back(records[at].text);
      ++at;
    }
    if (!anyCombination || at == records.size() || analysed >= function.multiconditions.size()) continue;
    const MulticonditionResult& result = function.multiconditions[analysed++];
    const size_t opening = first > 1 && isDecisionKind(records[first - 1].kind) ? first - 1 : first;
    const uint32_t line = records[opening].line;
    const uint32_t last = std::max(line, recordExtentEnd(records, at - 1, end));
    for (const McdcConditionResult& condition : result.conditions) {
      const size_t index = condition.number - 1;
      extents.push_back({line, last, records[opening].place, &condition,
                         index < names.size() ? names[index] : std::string_view()});
    }
  }
  return extents;
}

const char* uncoveredKindName(UncoveredKind kind) {
  switch (kind) {
    case UncoveredKind::Function: return "function";
    case UncoveredKind::Decision: return "decision";
    case UncoveredKind::ConstantDecision: return "constant_decision";
    case UncoveredKind::AndOr: return "and_or";
    case UncoveredKind::Condition: return "condition";
    case UncoveredKind::Combination: return "combination";
    case UncoveredKind::McdcCondition: return "mcdc_condition";
    case UncoveredKind::SwitchLabel: return "switch_label";
    case UncoveredKind::Jump: return "jump";
    case UncoveredKind::Statement: return "statement";
  }
  return "jump";
}

void collectRecord(UncoveredCollector& collector, const Probe& record, std::string_view place) {
  if (record.kind == kKindFunction || collector.functions.empty()) {
    if (collector.spare.empty()) {
      collector.functions.emplace_back();
    } else {
      collector.functions.push_back(std::move(collector.spare.back()));
      collector.spare.pop_back();
    }
  }
  CollectedRecord& r = collector.functions.back().emplace_back();
  if (!place.empty()) {
    // Places change only at line directives: the last one is nearly always it.
    if (collector.places.back() != place) {
      auto known = std::find(collector.places.begin() + 1, collector.places.end(), place);
      if (known == collector.places.end()) {
        collector.places.emplace_back(place);
        known = collector.places.end() - 1;
      }
      r.place = static_cast<uint32_t>(known - collector.places.begin());
    } else {
      r.place = static_cast<uint32_t>(collector.places.size() - 1);
    }
  }
  r.kind = record.kind;
  r.line = record.line;
  r.counter1 = record.counter1;
  r.counter2 = record.counter2;
  // Only the texts a description needs are kept.
  if (r.kind == 14 || r.kind == 75 || r.kind == 76 || r.kind == 77 || r.kind == 85) r.text.assign(record.text);
}

void clearCollector(UncoveredCollector& collector) {
  for (std::vector<CollectedRecord>& records : collector.functions) {
    records.clear();
    collector.spare.push_back(std::move(records));
  }
  collector.functions.clear();
  collector.places.resize(1);
}

std::vector<UncoveredItem> uncoveredItems(const UncoveredCollector& collector, const FileResult& file,
                                          CoverageView view, const ItemSelector& select) {
  std::vector<UncoveredItem> items;
  std::vector<MissedRecord> missedRecords;
  const size_t count = std::min(collector.functions.size(), file.functions.size());
  for (size_t f = 0; f < count; ++f) {
    const std::vector<CollectedRecord>& records = collector.functions[f];
    const FunctionResult& function = file.functions[f];
    if (records.empty()) continue;
    const uint32_t end = functionExtentEnd(records);
    const size_t mcdcFrom = items.size();
    missedRecords.clear();
    for (size_t at = 0; at < records.size(); ++at) {
      if (!missedInView(records[at], view)) continue;
      const uint32_t last = at == 0 ? end : recordExtentEnd(records, at, end);
      missedRecords.push_back({records[at].line, last, at});
    }
    for (const MissedRecord& m : missedRecords) {
      const CollectedRecord& r = records[m.at];
      const std::string_view path = itemPath(collector, r.place, function, file.path);
      if (!selected(select, path, m.line, m.lastLine)) continue;
      UncoveredKind kind = UncoveredKind::Jump;
      std::string missing = missingPart(r, kind);
      items.push_back({m.line, m.lastLine, kind, std::string(path), function.name, std::move(missing), 0});
    }
    std::vector<UncoveredItem> mcdc;
    addMcdcItems(records, function, collector, file.path, select, mcdc);
    if (inOnePlace(records)) {
      addStatementItems(function, missedRecords, itemPath(collector, records[0].place, function, file.path), select,
                        mcdc);
    }
    // In line order among the function's other items; a stable merge keeps
    // the record order on one line.
    items.insert(items.end(), std::make_move_iterator(mcdc.begin()), std::make_move_iterator(mcdc.end()));
    std::stable_sort(items.begin() + static_cast<std::ptrdiff_t>(mcdcFrom), items.end(),
                     [](const UncoveredItem& a, const UncoveredItem& b) { return a.line < b.line; });
  }
  return items;
}

}  // namespace qar
