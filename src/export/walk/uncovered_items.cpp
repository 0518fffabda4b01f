// The uncovered items of one file. Extents follow the records: a probe
// record reaches up to the line before the next record's line, so the
// continuation lines of a condition written over several lines belong to
// it, but never past its function's end; a function spans its record's line
// to its end record's line.
#include "export/walk/uncovered_items.h"

#include <algorithm>

#include "coverage/record_reader.h"
#include "listings/measures.h"

namespace qar {
namespace {

bool isCombination(uint32_t kind) { return kind == 75 || kind == 76; }
bool insideMulticondition(uint32_t kind) { return kind >= 75 && kind <= 81; }
bool isDecisionKind(uint32_t kind) { return (kind >= 20 && kind <= 25) || (kind >= 70 && kind <= 74); }

std::string quoted(std::string_view text) { return "`" + std::string(text) + "`"; }

// The function's end: its last end record, else its last record.
uint32_t functionEnd(const std::vector<CollectedRecord>& records) {
  uint32_t end = records.front().line;
  bool endRecordSeen = false;
  for (const CollectedRecord& r : records) {
    if (r.kind == 1 || r.kind == 2) {
      end = r.line;
      endRecordSeen = true;
    } else if (!endRecordSeen) {
      end = std::max(end, r.line);
    }
  }
  return std::max(end, records.front().line);
}

uint32_t extentEnd(const std::vector<CollectedRecord>& records, size_t at, uint32_t end) {
  const uint32_t line = records[at].line;
  if (at + 1 >= records.size()) return line;
  const uint32_t next = records[at + 1].line;
  if (next <= line + 1) return line;
  return std::max(line, std::min(next - 1, end));
}

// What the listing's "-" marker says of a record, in words; empty when the
// view counts nothing missed in it.
std::string missingPart(const CollectedRecord& r, CoverageView view, UncoveredKind& kind) {
  Probe probe;
  probe.kind = r.kind;
  probe.counter1 = r.counter1;
  probe.counter2 = r.counter2;
  if (probeTerFigures(probe, view).misses == 0) return {};
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

std::string mcdcMissing(uint32_t number, const std::string& name) {
  const std::string who = name.empty() ? "condition " + std::to_string(number) : quoted(name);
  std::string text = "condition " + std::to_string(number);
  if (!name.empty()) text += " (" + quoted(name) + ")";
  return text + " has no independence pair: needs runs where only " + who + " changes the outcome";
}

// The MC/DC conditions of the multiconditions closed inside the function,
// matched in order with the walk's analysis; the walk drops a multicondition
// still open at the function's end, and so does this.
void addMcdcItems(const std::vector<CollectedRecord>& records, uint32_t end, const FunctionResult& function,
                  std::vector<UncoveredItem>& items) {
  size_t analysed = 0;
  size_t at = 1;
  while (at < records.size()) {
    if (!insideMulticondition(records[at].kind)) {
      ++at;
      continue;
    }
    const size_t first = at;
    bool anyCombination = false;
    std::vector<std::string> names;
    while (at < records.size() && insideMulticondition(records[at].kind)) {
      anyCombination = anyCombination || isCombination(records[at].kind);
      if (records[at].kind == 77) names.push_back(records[at].text);
      ++at;
    }
    if (!anyCombination || at == records.size() || analysed >= function.multiconditions.size()) continue;
    const MulticonditionResult& result = function.multiconditions[analysed++];
    const uint32_t line = first > 1 && isDecisionKind(records[first - 1].kind) ? records[first - 1].line
                                                                                : records[first].line;
    const uint32_t last = std::max(line, extentEnd(records, at - 1, end));
    for (const McdcConditionResult& condition : result.conditions) {
      if (condition.covered) continue;
      const size_t index = condition.number - 1;
      items.push_back({line, last, UncoveredKind::McdcCondition, function.path, function.name,
                       mcdcMissing(condition.number, index < names.size() ? names[index] : std::string())});
    }
  }
}

}  // namespace

void collectRecord(UncoveredCollector& collector, const Probe& record) {
  if (record.kind == kKindFunction || collector.functions.empty()) collector.functions.emplace_back();
  CollectedRecord& r = collector.functions.back().emplace_back();
  r.kind = record.kind;
  r.line = record.line;
  r.counter1 = record.counter1;
  r.counter2 = record.counter2;
  // Only the texts a description needs are kept.
  if (r.kind == 14 || r.kind == 75 || r.kind == 76 || r.kind == 77 || r.kind == 85) r.text.assign(record.text);
}

void clearCollector(UncoveredCollector& collector) { collector.functions.clear(); }

std::vector<UncoveredItem> uncoveredItems(const UncoveredCollector& collector, const FileResult& file,
                                          CoverageView view) {
  std::vector<UncoveredItem> items;
  const size_t count = std::min(collector.functions.size(), file.functions.size());
  for (size_t f = 0; f < count; ++f) {
    const std::vector<CollectedRecord>& records = collector.functions[f];
    const FunctionResult& function = file.functions[f];
    if (records.empty()) continue;
    const uint32_t end = functionEnd(records);
    const size_t mcdcFrom = items.size();
    for (size_t at = 0; at < records.size(); ++at) {
      UncoveredKind kind = UncoveredKind::Jump;
      std::string missing = missingPart(records[at], view, kind);
      if (missing.empty()) continue;
      const uint32_t last = at == 0 ? end : extentEnd(records, at, end);
      items.push_back({records[at].line, last, kind, function.path, function.name, std::move(missing)});
    }
    std::vector<UncoveredItem> mcdc;
    addMcdcItems(records, end, function, mcdc);
    // In line order among the function's other items; a stable merge keeps
    // the record order on one line.
    items.insert(items.end(), mcdc.begin(), mcdc.end());
    std::stable_sort(items.begin() + static_cast<std::ptrdiff_t>(mcdcFrom), items.end(),
                     [](const UncoveredItem& a, const UncoveredItem& b) { return a.line < b.line; });
  }
  return items;
}

}  // namespace qar
