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

void appendQuoted(std::string& out, std::string_view text) { out.append("`").append(text).append("`"); }

// Whether the view counts something missed in a record (the listing's "-"
// marker): cheap, so that the words are made only for the items wanted.
bool missedInView(const CollectedRecord& r, CoverageView view) {
  Probe probe;
  probe.kind = r.kind;
  probe.counter1 = r.counter1;
  probe.counter2 = r.counter2;
  return probeTerFigures(probe, view).misses != 0;
}

void appendOutcomes(std::string& out, const CollectedRecord& r) {
  if (r.counter1 == 0 && r.counter2 == 0) {
    out.append("never evaluated (TRUE and FALSE outcomes never taken)");
  } else {
    out.append(r.counter1 == 0 ? "TRUE outcome never taken" : "FALSE outcome never taken");
  }
}

// What is missed in a record the view counts as missed, in words, into
// `out` (its room kept from the item it held before).
void missingPart(const CollectedRecord& r, UncoveredKind& kind, std::string& out) {
  out.clear();
  switch (r.kind) {
    case 0: kind = UncoveredKind::Function; out.append("never called"); return;
    case 14: kind = UncoveredKind::SwitchLabel; out.append("case ").append(r.text).append(" never taken"); return;
    case 15: kind = UncoveredKind::SwitchLabel; out.append("default never taken"); return;
    case 16:
      kind = UncoveredKind::SwitchLabel;
      out.append("implicit default (no case matched) never taken");
      return;
    case 75:
      kind = UncoveredKind::Combination;
      out.append("combination ").append(r.text).append(" (TRUE) never occurred");
      return;
    case 76:
      kind = UncoveredKind::Combination;
      out.append("combination ").append(r.text).append(" (FALSE) never occurred");
      return;
    case 85:
      kind = UncoveredKind::AndOr;
      out.append("and/or expression ");
      appendQuoted(out, r.text);
      out.append(": ");
      appendOutcomes(out, r);
      return;
    case 77:
      kind = UncoveredKind::Condition;
      out.append("condition ");
      appendQuoted(out, r.text);
      if (r.counter1 == 0 && r.counter2 == 0) {
        out.append(" never evaluated");
      } else {
        out.append(r.counter1 == 0 ? " never TRUE" : " never FALSE");
      }
      return;
    default: break;
  }
  if (r.kind >= 30 && r.kind <= 35) {
    kind = UncoveredKind::ConstantDecision;
    out.append("constant decision never reached");
    return;
  }
  if (isDecisionKind(r.kind)) {
    kind = UncoveredKind::Decision;
    appendOutcomes(out, r);
    return;
  }
  kind = UncoveredKind::Jump;
  const char* name = probeKindInfo(r.kind).name;
  out.append(*name != 0 ? name : "statement").append(" never reached");
}

// The items of a file as they are made: each new one takes the place, and
// the texts' room, of an item the list held before (a list handed back by
// a page already written) while there are any.
class ItemList {
 public:
  explicit ItemList(std::vector<UncoveredItem>& items) : items_(items) {}
  ItemList(const ItemList&) = delete;
  ItemList& operator=(const ItemList&) = delete;

  UncoveredItem& add(uint32_t line, uint32_t lastLine, UncoveredKind kind, std::string_view path,
                     std::string_view function, uint32_t firstLine) {
    if (used_ == items_.size()) items_.emplace_back();
    UncoveredItem& item = items_[used_++];
    item.line = line;
    item.lastLine = lastLine;
    item.kind = kind;
    item.path.assign(path);
    item.function.assign(function);
    item.firstLine = firstLine;
    return item;
  }
  size_t size() const { return used_; }
  // Sorts the items from `from` on by line, keeping the order of those on
  // one line.
  void sortByLineFrom(size_t from) {
    std::stable_sort(items_.begin() + static_cast<std::ptrdiff_t>(from),
                     items_.begin() + static_cast<std::ptrdiff_t>(used_),
                     [](const UncoveredItem& a, const UncoveredItem& b) { return a.line < b.line; });
  }
  void finish() { items_.resize(used_); }

 private:
  std::vector<UncoveredItem>& items_;
  size_t used_ = 0;
};

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

void mcdcMissing(uint32_t number, std::string_view name, std::string& out) {
  const std::string numberText = std::to_string(number);
  out.assign("condition ").append(numberText);
  if (!name.empty()) {
    out.append(" (");
    appendQuoted(out, name);
    out.append(")");
  }
  out.append(" has no independence pair: needs runs where only ");
  if (name.empty()) {
    out.append("condition ").append(numberText);
  } else {
    appendQuoted(out, name);
  }
  out.append(" changes the outcome");
}

// The uncovered MC/DC conditions, each with its missing pair in words.
void addMcdcItems(const std::vector<CollectedRecord>& records, const FunctionResult& function,
                  const UncoveredCollector& collector, std::string_view filePath, const ItemSelector& select,
                  ItemList& items) {
  for (const McdcConditionExtent& c : mcdcConditionExtents(records, function)) {
    if (c.condition->covered) continue;
    const std::string_view path = itemPath(collector, c.place, function, filePath);
    if (!selected(select, path, c.line, c.lastLine)) continue;
    UncoveredItem& item = items.add(c.line, c.lastLine, UncoveredKind::McdcCondition, path, function.name, 0);
    mcdcMissing(c.condition->number, c.name, item.missing);
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
                       std::string_view path, const ItemSelector& select, ItemList& items) {
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
    UncoveredItem& item = items.add(line, s.line, UncoveredKind::Statement, path, function.name, first);
    if (missed == 1) {
      item.missing.assign("statement never reached");
    } else {
      item.missing.assign(std::to_string(missed)).append(" statements never reached");
    }
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

void uncoveredItems(const UncoveredCollector& collector, const FileResult& file, CoverageView view,
                    std::vector<UncoveredItem>& into, const ItemSelector& select) {
  ItemList items(into);
  std::vector<MissedRecord> missedRecords;
  const size_t count = std::min(collector.functions.size(), file.functions.size());
  for (size_t f = 0; f < count; ++f) {
    const std::vector<CollectedRecord>& records = collector.functions[f];
    const FunctionResult& function = file.functions[f];
    if (records.empty()) continue;
    const uint32_t end = functionExtentEnd(records);
    const size_t functionFrom = items.size();
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
      UncoveredItem& item = items.add(m.line, m.lastLine, UncoveredKind::Jump, path, function.name, 0);
      missingPart(r, item.kind, item.missing);
    }
    addMcdcItems(records, function, collector, file.path, select, items);
    if (inOnePlace(records)) {
      addStatementItems(function, missedRecords, itemPath(collector, records[0].place, function, file.path), select,
                        items);
    }
    // In line order among the function's other items; a stable sort keeps
    // the record order on one line.
    items.sortByLineFrom(functionFrom);
  }
  items.finish();
}

std::vector<UncoveredItem> uncoveredItems(const UncoveredCollector& collector, const FileResult& file,
                                          CoverageView view, const ItemSelector& select) {
  std::vector<UncoveredItem> items;
  uncoveredItems(collector, file, view, items, select);
  return items;
}

}  // namespace qar
