#include "export/change/baseline_compare.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace qar {
namespace {

constexpr std::string_view kMeasureNames[kChangeMeasureCount] = {"lines", "branches", "functions"};

// One item of a measure, keyed by what stays the same between runs of the
// same code: its line, kind and place among the items of that kind there.
struct ItemKey {
  uint32_t line = 0;
  std::string what;
  uint32_t place = 0;
  friend bool operator<(const ItemKey& a, const ItemKey& b) {
    return std::tie(a.line, a.what, a.place) < std::tie(b.line, b.what, b.place);
  }
};

using ItemMap = std::map<ItemKey, bool>;  // covered or not

ItemMap lineItems(const std::vector<LineHits>& lines) {
  ItemMap items;
  for (const LineHits& l : lines) items.emplace(ItemKey{l.line, "line", 0}, l.hits > 0);
  return items;
}

// Branches by line and kind, numbered in their order on the line: block
// numbers depend on the other files of a run and are not compared.
ItemMap branchItems(const std::vector<BranchCount>& branches) {
  ItemMap items;
  std::map<std::pair<uint32_t, std::string>, uint32_t> places;
  for (const BranchCount& b : branches) {
    std::string what = std::string("branch ") + branchKindName(b.kind);
    const uint32_t place = places[{b.line, what}]++;
    items.emplace(ItemKey{b.line, std::move(what), place}, b.taken > 0);
  }
  return items;
}

template <typename Function>
ItemMap functionItems(const std::vector<Function>& functions) {
  ItemMap items;
  for (const Function& f : functions) items.emplace(ItemKey{f.line, "function " + f.name, 0}, f.calls > 0);
  return items;
}

void countItems(const ItemMap& items, CoverageCount& count) {
  for (const auto& [key, covered] : items) {
    ++count.found;
    if (covered) ++count.hit;
  }
}

// Walks both maps in key order, counting each item in its category.
void compareItems(const ItemMap& before, const ItemMap& now, const std::string& path, ChangeMeasure measure,
                  ChangeCounts& counts, std::vector<LostItem>& lost) {
  countItems(before, counts.before);
  countItems(now, counts.now);
  auto b = before.begin();
  auto n = now.begin();
  while (b != before.end() || n != now.end()) {
    if (n == now.end() || (b != before.end() && b->first < n->first)) {
      ++counts.removed;
      ++b;
    } else if (b == before.end() || n->first < b->first) {
      ++(n->second ? counts.newCovered : counts.newUncovered);
      ++n;
    } else {
      if (b->second && !n->second) {
        ++counts.lost;
        lost.push_back(LostItem{path, b->first.line, measure, b->first.what});
      } else if (!b->second && n->second) {
        ++counts.gained;
      }
      ++b;
      ++n;
    }
  }
}

void compareFile(const BaselineSource* before, const PathTable* now, FileChange& change, std::vector<LostItem>& lost) {
  static const BaselineSource kNoSource;
  static const PathTable kNoTable;
  const BaselineSource& b = before ? *before : kNoSource;
  const PathTable& n = now ? *now : kNoTable;
  compareItems(lineItems(b.lines), lineItems(n.lines), change.path, ChangeMeasure::Lines,
               change.measures[static_cast<int>(ChangeMeasure::Lines)], lost);
  compareItems(branchItems(b.branches), branchItems(n.branches), change.path, ChangeMeasure::Branches,
               change.measures[static_cast<int>(ChangeMeasure::Branches)], lost);
  compareItems(functionItems(b.functions), functionItems(n.functions), change.path, ChangeMeasure::Functions,
               change.measures[static_cast<int>(ChangeMeasure::Functions)], lost);
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

BaselineComparer::BaselineComparer(const Baseline& baseline)
    : baseline_(baseline), seen_(baseline.sources.size(), false) {
  index_.reserve(baseline.sources.size());
  for (size_t i = 0; i < baseline.sources.size(); ++i) index_.emplace(baseline.sources[i].path, i);
}

void BaselineComparer::addSource(const PathTable& table) {
  const BaselineSource* before = nullptr;
  if (auto found = index_.find(table.path); found != index_.end()) {
    before = &baseline_.sources[found->second];
    seen_[found->second] = true;
  }
  FileChange& change = result_.files.emplace_back();
  change.path = table.path;
  compareFile(before, &table, change, result_.lost);
}

BaselineComparison BaselineComparer::finish() {
  for (size_t i = 0; i < baseline_.sources.size(); ++i) {
    if (seen_[i]) continue;
    FileChange& change = result_.files.emplace_back();
    change.path = baseline_.sources[i].path;
    compareFile(&baseline_.sources[i], nullptr, change, result_.lost);
  }
  for (const FileChange& file : result_.files) {
    for (size_t m = 0; m < kChangeMeasureCount; ++m) result_.totals[m] += file.measures[m];
  }
  return std::move(result_);
}

}  // namespace qar
