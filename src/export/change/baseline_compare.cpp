#include "export/change/baseline_compare.h"

#include <algorithm>
#include <optional>
#include <tuple>

#include "export/walk/export_numbers.h"

namespace qar {
namespace {

constexpr std::string_view kMeasureNames[kChangeMeasureCount] = {"lines", "branches", "functions", "mcdc"};

// One item of a measure, keyed by what stays the same between runs of the
// same code: its line, kind and place among the items of that kind there.
// Kept small: a large run compares millions of them.
enum class ItemType : uint8_t { Line, Branch, Function, Condition };

struct Item {
  uint32_t line = 0;
  ItemType type = ItemType::Line;
  uint32_t detail = 0;    // a branch's kind, a condition's number
  std::string_view name;  // a function's name
  uint32_t place = 0;
  bool covered = false;
};

bool sameKind(const Item& a, const Item& b) {
  return a.line == b.line && a.type == b.type && a.detail == b.detail && a.name == b.name;
}

bool keyBefore(const Item& a, const Item& b) {
  return std::tie(a.line, a.type, a.detail, a.name, a.place) < std::tie(b.line, b.type, b.detail, b.name, b.place);
}

// "line", "branch true", "function main", "condition 2".
std::string itemText(const Item& item) {
  switch (item.type) {
    case ItemType::Line: return "line";
    case ItemType::Branch: return std::string("branch ") + branchKindName(static_cast<BranchKind>(item.detail));
    case ItemType::Function: return "function " + std::string(item.name);
    case ItemType::Condition: return "condition " + std::to_string(item.detail);
  }
  return {};
}

// The items of one side. Items of the baseline are carried to the lines
// they stand on now; those whose line the change removed or rewrote, and
// all of a file compared as changed throughout, are counted apart, as
// removed (this run's items on such code then find no match and are new).
class ItemSide {
 public:
  ItemSide(const DiffFile* move, bool changedThroughout) : move_(move), changedThroughout_(changedThroughout) {}
  void add(uint32_t line, ItemType type, uint32_t detail, bool covered, std::string_view name = {}) {
    items_.push_back(Item{line, type, detail, name, 0, covered});
    count_.found += 1;
    if (covered) count_.hit += 1;
  }
  // Numbers each item's place among those of its kind on its line, then
  // carries the lines; the change keeps the order of the lines it keeps.
  void settle() {
    std::stable_sort(items_.begin(), items_.end(), [](const Item& a, const Item& b) {
      return std::tie(a.line, a.type, a.detail, a.name) < std::tie(b.line, b.type, b.detail, b.name);
    });
    for (size_t i = 1; i < items_.size(); ++i) {
      if (sameKind(items_[i], items_[i - 1])) items_[i].place = items_[i - 1].place + 1;
    }
    if (!changedThroughout_ && !move_) return;
    size_t kept = 0;
    for (Item& item : items_) {
      std::optional<uint32_t> now;
      if (!changedThroughout_ && move_->status != DiffStatus::Deleted) now = newLineOf(*move_, item.line);
      if (!now) {
        ++unmatched_;
        continue;
      }
      item.line = *now;
      items_[kept++] = item;
    }
    items_.resize(kept);
  }
  const std::vector<Item>& items() const { return items_; }
  const CoverageCount& count() const { return count_; }
  uint32_t unmatched() const { return unmatched_; }

 private:
  const DiffFile* move_;
  bool changedThroughout_;
  std::vector<Item> items_;
  CoverageCount count_;
  uint32_t unmatched_ = 0;
};

// Walks both sides in key order, counting each item in its category.
void compareItems(ItemSide& before, ItemSide& now, FileChange& change, ChangeMeasure measure) {
  before.settle();
  now.settle();
  ChangeCounts& counts = change.measures[static_cast<int>(measure)];
  counts.before += before.count();
  counts.now += now.count();
  counts.removed += before.unmatched();
  const std::vector<Item>& b = before.items();
  const std::vector<Item>& n = now.items();
  auto bi = b.begin();
  auto ni = n.begin();
  while (bi != b.end() || ni != n.end()) {
    if (ni == n.end() || (bi != b.end() && keyBefore(*bi, *ni))) {
      ++counts.removed;
      ++bi;
    } else if (bi == b.end() || keyBefore(*ni, *bi)) {
      ++(ni->covered ? counts.newCovered : counts.newUncovered);
      ++ni;
    } else {
      if (bi->covered && !ni->covered) {
        ++counts.lost;
        change.lost.push_back(LostItem{change.path, bi->line, measure, itemText(*bi)});
      } else if (!bi->covered && ni->covered) {
        ++counts.gained;
      }
      ++bi;
      ++ni;
    }
  }
}

// The baseline writes a function name met at more than one line of a file
// with "@LINE" added; the comparison uses the name itself.
std::string_view plainFunctionName(const BaselineFunction& f) {
  const std::string suffix = "@" + std::to_string(f.line);
  std::string_view name = f.name;
  if (name.size() > suffix.size() && name.ends_with(suffix)) name.remove_suffix(suffix.size());
  return name;
}

int64_t truncatedPercentHundredths(const CoverageCount& count) {
  if (count.found == 0) return 10000;
  return static_cast<int64_t>(static_cast<uint64_t>(count.hit) * 10000 / count.found);
}

}  // namespace

std::string_view changeMeasureName(ChangeMeasure measure) { return kMeasureNames[static_cast<int>(measure)]; }

ChangeCounts& ChangeCounts::operator+=(const ChangeCounts& other) {
  before += other.before;
  now += other.now;
  lost += other.lost;
  gained += other.gained;
  newCovered += other.newCovered;
  newUncovered += other.newUncovered;
  removed += other.removed;
  return *this;
}

int64_t percentChangeHundredths(const CoverageCount& before, const CoverageCount& now) {
  return truncatedPercentHundredths(now) - truncatedPercentHundredths(before);
}

std::string pointsText(int64_t hundredths) {
  std::string text = hundredths < 0 ? "-" : hundredths > 0 ? "+" : "";
  const uint64_t magnitude = static_cast<uint64_t>(hundredths < 0 ? -hundredths : hundredths);
  appendDecimal(text, magnitude / 100);
  text += '.';
  text += static_cast<char>('0' + magnitude % 100 / 10);
  text += static_cast<char>('0' + magnitude % 10);
  return text;
}

BaselineComparer::BaselineComparer(const Baseline& baseline, const UnifiedDiff* diff)
    : baseline_(baseline),
      withDiff_(diff != nullptr),
      sourceSeen_(baseline.sources.size(), false),
      fileSeen_(baseline.files.size(), false) {
  // The files whose old side moved: edited, renamed or deleted. A copy
  // leaves its original where it was, and a new file has no old side.
  if (diff) {
    for (const DiffFile& file : diff->files) {
      const bool moves = file.status == DiffStatus::Modified || file.status == DiffStatus::Renamed ||
                         file.status == DiffStatus::Deleted;
      if (moves && !file.oldPath.empty()) moves_.emplace(file.oldPath, &file);
    }
  }
  // A file the change deleted is matched by nothing and ends as removed.
  auto pathNow = [&](const std::string& path) -> const std::string* {
    const DiffFile* move = moveOf(path);
    if (!move) return &path;
    return move->status == DiffStatus::Deleted ? nullptr : &move->newPath;
  };
  sourceIndex_.reserve(baseline.sources.size());
  for (size_t i = 0; i < baseline.sources.size(); ++i) {
    if (const std::string* path = pathNow(baseline.sources[i].path)) sourceIndex_.emplace(*path, i);
  }
  fileIndex_.reserve(baseline.files.size());
  for (size_t i = 0; i < baseline.files.size(); ++i) {
    if (const std::string* path = pathNow(baseline.files[i].path)) fileIndex_.emplace(*path, i);
  }
}

const DiffFile* BaselineComparer::moveOf(const std::string& baselinePath) const {
  auto found = moves_.find(baselinePath);
  return found == moves_.end() ? nullptr : found->second;
}

FileChange& BaselineComparer::changeFor(const std::string& path) {
  auto [at, inserted] = changeIndex_.try_emplace(path, result_.files.size());
  if (inserted) result_.files.emplace_back().path = path;
  return result_.files[at->second];
}

const std::vector<LostItem>* BaselineComparer::lostSoFar(const std::string& path) const {
  auto found = changeIndex_.find(path);
  return found == changeIndex_.end() ? nullptr : &result_.files[found->second].lost;
}

void BaselineComparer::addFile(const FileResult& file) {
  FileChange& change = changeFor(file.path);
  const BaselineFile* before = nullptr;
  if (auto found = fileIndex_.find(file.path); found != fileIndex_.end()) {
    before = &baseline_.files[found->second];
    fileSeen_[found->second] = true;
  }
  change.sourceLinesNow = file.sourceLines;
  change.statementsNow = CoverageCount{file.statements.total, file.statements.hits};
  const DiffFile* move = before ? moveOf(before->path) : nullptr;
  if (before) {
    change.sourceLinesBefore = before->sourceLines;
    change.statementsBefore = CoverageCount{before->statementTotal, before->statementHits};
    change.changedThroughout = !withDiff_ && before->sourceLines != 0 && file.sourceLines != 0 &&
                               before->sourceLines != file.sourceLines;
  }
  ItemSide then(move, change.changedThroughout);
  ItemSide now(nullptr, false);
  if (before) {
    for (const BaselineCondition& c : before->conditions) {
      then.add(c.line, ItemType::Condition, c.number, c.covered);
    }
  }
  for (const FunctionResult& function : file.functions) {
    for (const MulticonditionResult& m : function.multiconditions) {
      for (const McdcConditionResult& c : m.conditions) {
        now.add(m.line, ItemType::Condition, c.number, c.covered);
      }
    }
  }
  compareItems(then, now, change, ChangeMeasure::Mcdc);
}

void BaselineComparer::addSource(const PathTable& table) {
  FileChange& change = changeFor(table.path);
  const BaselineSource* before = nullptr;
  if (auto found = sourceIndex_.find(table.path); found != sourceIndex_.end()) {
    before = &baseline_.sources[found->second];
    sourceSeen_[found->second] = true;
  }
  const DiffFile* move = before ? moveOf(before->path) : nullptr;
  const bool throughout = change.changedThroughout;

  ItemSide linesThen(move, throughout), linesNow(nullptr, false);
  ItemSide branchesThen(move, throughout), branchesNow(nullptr, false);
  ItemSide functionsThen(move, throughout), functionsNow(nullptr, false);
  if (before) {
    for (const LineHits& l : before->lines) linesThen.add(l.line, ItemType::Line, 0, l.hits > 0);
    for (const BranchCount& b : before->branches) {
      branchesThen.add(b.line, ItemType::Branch, static_cast<uint32_t>(b.kind), b.taken > 0);
    }
    for (const BaselineFunction& f : before->functions) {
      functionsThen.add(f.line, ItemType::Function, 0, f.calls > 0, plainFunctionName(f));
    }
  }
  for (const LineHits& l : table.lines) linesNow.add(l.line, ItemType::Line, 0, l.hits > 0);
  for (const BranchCount& b : table.branches) {
    branchesNow.add(b.line, ItemType::Branch, static_cast<uint32_t>(b.kind), b.taken > 0);
  }
  for (const LocatedFunction& f : table.functions) functionsNow.add(f.line, ItemType::Function, 0, f.calls > 0, f.name);
  compareItems(linesThen, linesNow, change, ChangeMeasure::Lines);
  compareItems(branchesThen, branchesNow, change, ChangeMeasure::Branches);
  compareItems(functionsThen, functionsNow, change, ChangeMeasure::Functions);
}

const BaselineComparison& BaselineComparer::finish() {
  for (size_t i = 0; i < baseline_.sources.size(); ++i) {
    if (sourceSeen_[i]) continue;
    const BaselineSource& gone = baseline_.sources[i];
    FileChange& change = changeFor(gone.path);
    ItemSide lines(nullptr, true), branches(nullptr, true), functions(nullptr, true);
    for (const LineHits& l : gone.lines) lines.add(l.line, ItemType::Line, 0, l.hits > 0);
    for (const BranchCount& b : gone.branches) branches.add(b.line, ItemType::Branch, 0, b.taken > 0);
    for (const BaselineFunction& f : gone.functions) functions.add(f.line, ItemType::Function, 0, f.calls > 0);
    ItemSide none(nullptr, false);
    compareItems(lines, none, change, ChangeMeasure::Lines);
    compareItems(branches, none, change, ChangeMeasure::Branches);
    compareItems(functions, none, change, ChangeMeasure::Functions);
  }
  for (size_t i = 0; i < baseline_.files.size(); ++i) {
    if (fileSeen_[i]) continue;
    const BaselineFile& gone = baseline_.files[i];
    FileChange& change = changeFor(gone.path);
    change.sourceLinesBefore = gone.sourceLines;
    change.statementsBefore = CoverageCount{gone.statementTotal, gone.statementHits};
    ItemSide conditions(nullptr, true);
    for (const BaselineCondition& c : gone.conditions) conditions.add(c.line, ItemType::Condition, 0, c.covered);
    ItemSide none(nullptr, false);
    compareItems(conditions, none, change, ChangeMeasure::Mcdc);
  }
  for (FileChange& file : result_.files) {
    for (size_t m = 0; m < kChangeMeasureCount; ++m) result_.totals[m] += file.measures[m];
    result_.statementsBefore += file.statementsBefore;
    result_.statementsNow += file.statementsNow;
    std::stable_sort(file.lost.begin(), file.lost.end(),
                     [](const LostItem& a, const LostItem& b) { return a.line < b.line; });
    result_.lost.insert(result_.lost.end(), file.lost.begin(), file.lost.end());
  }
  return result_;
}

}  // namespace qar
