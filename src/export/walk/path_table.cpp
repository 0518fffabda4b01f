#include "export/walk/path_table.h"

#include <algorithm>
#include <string_view>

#include "export/walk/export_numbers.h"

namespace qar {
namespace {

bool byLineThenBranch(const BranchCount& a, const BranchCount& b) {
  if (a.line != b.line) return a.line < b.line;
  if (a.block != b.block) return a.block < b.block;
  return a.branch < b.branch;
}

bool sameBranch(const BranchCount& a, const BranchCount& b) {
  return a.line == b.line && a.block == b.block && a.branch == b.branch;
}

bool byLineThenName(const LocatedFunction& a, const LocatedFunction& b) {
  if (a.line != b.line) return a.line < b.line;
  return a.name < b.name;
}

void unionLines(std::vector<uint32_t>& into, const std::vector<uint32_t>& from) {
  std::vector<uint32_t> merged;
  merged.reserve(into.size() + from.size());
  std::set_union(into.begin(), into.end(), from.begin(), from.end(), std::back_inserter(merged));
  into.swap(merged);
}

// Functions sorted by line and name: one per name and line, calls added.
void combineFunctions(std::vector<LocatedFunction>& functions) {
  // Records come mostly in the order of their lines: nothing to sort then
  // (and no buffer for the stable sort).
  if (!std::is_sorted(functions.begin(), functions.end(), byLineThenName)) {
    std::stable_sort(functions.begin(), functions.end(), byLineThenName);
  }
  size_t out = 0;
  for (size_t i = 0; i < functions.size(); ++i) {
    if (out > 0 && functions[out - 1].line == functions[i].line && functions[out - 1].name == functions[i].name) {
      LocatedFunction& kept = functions[out - 1];
      kept.calls = addCounts(kept.calls, functions[i].calls);
      unionLines(kept.lines, functions[i].lines);
      continue;
    }
    if (out != i) functions[out] = std::move(functions[i]);
    ++out;
  }
  functions.resize(out);
}

}  // namespace

const char* branchKindName(BranchKind kind) {
  switch (kind) {
    case BranchKind::True: return "true";
    case BranchKind::False: return "false";
    case BranchKind::Constant: return "constant";
    case BranchKind::Case: return "case";
    case BranchKind::Default: return "default";
    case BranchKind::MissingDefault: return "missing_default";
  }
  return "";
}

void settleContribution(PathTable& table) {
  std::vector<LineHits>& lines = table.lines;
  const auto byLine = [](const LineHits& a, const LineHits& b) { return a.line < b.line; };
  // Lines of one number are kept once with their largest count, whatever their order.
  if (!std::is_sorted(lines.begin(), lines.end(), byLine)) std::sort(lines.begin(), lines.end(), byLine);
  size_t out = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (out > 0 && lines[out - 1].line == lines[i].line) {
      lines[out - 1].hits = std::max(lines[out - 1].hits, lines[i].hits);
    } else {
      lines[out++] = lines[i];
    }
  }
  lines.resize(out);
  // Within one contribution every branch is its own: (line, block, branch) is unique.
  if (!std::is_sorted(table.branches.begin(), table.branches.end(), byLineThenBranch)) {
    std::sort(table.branches.begin(), table.branches.end(), byLineThenBranch);
  }
  combineFunctions(table.functions);
}

void mergeContribution(PathTable& into, const PathTable& from) {
  std::vector<LineHits> lines;
  lines.reserve(into.lines.size() + from.lines.size());
  size_t a = 0;
  size_t b = 0;
  while (a < into.lines.size() || b < from.lines.size()) {
    if (b == from.lines.size() || (a < into.lines.size() && into.lines[a].line < from.lines[b].line)) {
      lines.push_back(into.lines[a++]);
    } else if (a == into.lines.size() || from.lines[b].line < into.lines[a].line) {
      lines.push_back(from.lines[b++]);
    } else {
      lines.push_back({into.lines[a].line, addCounts(into.lines[a].hits, from.lines[b].hits)});
      ++a;
      ++b;
    }
  }
  into.lines.swap(lines);

  std::vector<BranchCount> branches;
  branches.reserve(into.branches.size() + from.branches.size());
  std::merge(into.branches.begin(), into.branches.end(), from.branches.begin(), from.branches.end(),
             std::back_inserter(branches), byLineThenBranch);
  size_t out = 0;
  for (size_t i = 0; i < branches.size(); ++i) {
    if (out > 0 && sameBranch(branches[out - 1], branches[i])) {
      branches[out - 1].taken = addCounts(branches[out - 1].taken, branches[i].taken);
    } else {
      branches[out++] = branches[i];
    }
  }
  branches.resize(out);
  into.branches.swap(branches);

  into.functions.insert(into.functions.end(), from.functions.begin(), from.functions.end());
  combineFunctions(into.functions);
  into.nextBlock = std::max(into.nextBlock, from.nextBlock);
}

void SharedPathTable::add(PathTable&& from) {
  if (table_.path.empty() && table_.key.empty()) {
    table_.path = from.path;
    table_.key = from.key;
  }
  table_.lines.insert(table_.lines.end(), from.lines.begin(), from.lines.end());
  table_.branches.insert(table_.branches.end(), from.branches.begin(), from.branches.end());
  table_.functions.insert(table_.functions.end(), std::make_move_iterator(from.functions.begin()),
                          std::make_move_iterator(from.functions.end()));
  table_.nextBlock = std::max(table_.nextBlock, from.nextBlock);
  rows_ += from.lines.size() + from.branches.size() + from.functions.size();
  // Merging when the appended rows exceed the merged ones sorts every row a
  // logarithmic number of times in all, and bounds the duplicates kept.
  if (rows_ > 2 * mergedRows_ + 4096) mergeAppended();
}

const PathTable& SharedPathTable::merged() {
  if (rows_ != mergedRows_) mergeAppended();
  return table_;
}

void SharedPathTable::mergeAppended() {
  // Stable sorts keep the earlier contribution first among equal rows, as
  // merging one contribution after the other does.
  std::vector<LineHits>& lines = table_.lines;
  std::stable_sort(lines.begin(), lines.end(), [](const LineHits& a, const LineHits& b) { return a.line < b.line; });
  size_t out = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (out > 0 && lines[out - 1].line == lines[i].line) {
      lines[out - 1].hits = addCounts(lines[out - 1].hits, lines[i].hits);
    } else {
      lines[out++] = lines[i];
    }
  }
  lines.resize(out);

  std::vector<BranchCount>& branches = table_.branches;
  std::stable_sort(branches.begin(), branches.end(), byLineThenBranch);
  out = 0;
  for (size_t i = 0; i < branches.size(); ++i) {
    if (out > 0 && sameBranch(branches[out - 1], branches[i])) {
      branches[out - 1].taken = addCounts(branches[out - 1].taken, branches[i].taken);
    } else {
      branches[out++] = branches[i];
    }
  }
  branches.resize(out);

  combineFunctions(table_.functions);
  mergedRows_ = rows_ = lines.size() + branches.size() + table_.functions.size();
}

LineCoverage lineCoverageOf(const PathTable& table) {
  LineCoverage coverage;
  for (const LineHits& line : table.lines) {
    ++coverage.lines.found;
    if (line.hits > 0) ++coverage.lines.hit;
  }
  for (const BranchCount& branch : table.branches) {
    ++coverage.branches.found;
    if (branch.taken > 0) ++coverage.branches.hit;
  }
  for (const LocatedFunction& function : table.functions) {
    ++coverage.functions.found;
    if (function.calls > 0) ++coverage.functions.hit;
  }
  return coverage;
}

std::vector<std::string> uniqueFunctionNames(const PathTable& table) {
  std::vector<std::string> names;
  uniqueFunctionNames(table, names);
  return names;
}

void uniqueFunctionNames(const PathTable& table, std::vector<std::string>& names) {
  // Functions are one per name and line, so a compared name met twice is
  // met at two lines. The names are put in the compared order (a file has
  // few functions) and each compared with the next: no name is copied to
  // be compared.
  const std::vector<LocatedFunction>& functions = table.functions;
  const auto compared = [](char c) { return c == ',' ? ';' : c; };
  const auto comparedLess = [&](uint32_t a, uint32_t b) {
    const std::string& x = functions[a].name;
    const std::string& y = functions[b].name;
    return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end(),
                                        [&](char p, char q) { return compared(p) < compared(q); });
  };
  const auto comparedEqual = [&](uint32_t a, uint32_t b) {
    const std::string& x = functions[a].name;
    const std::string& y = functions[b].name;
    return std::equal(x.begin(), x.end(), y.begin(), y.end(),
                      [&](char p, char q) { return compared(p) == compared(q); });
  };
  std::vector<uint32_t> order(functions.size());
  for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), comparedLess);
  std::vector<bool> repeated(functions.size());
  for (size_t k = 1; k < order.size(); ++k) {
    if (comparedEqual(order[k - 1], order[k])) repeated[order[k - 1]] = repeated[order[k]] = true;
  }
  // The strings of `names` keep their room from one table to the next.
  names.resize(functions.size());
  for (size_t i = 0; i < functions.size(); ++i) {
    names[i].assign(functions[i].name);
    if (repeated[i]) {
      names[i] += '@';
      appendDecimal(names[i], functions[i].line);
    }
  }
}

namespace {

// Moves `at` to the first entry of [at, end) whose line is not below `line`.
// A function's lines mostly follow one another in the table, so a few
// entries are stepped over before the search is worth its cost.
template <typename Entry>
typename std::vector<Entry>::const_iterator seekLine(typename std::vector<Entry>::const_iterator at,
                                                     typename std::vector<Entry>::const_iterator end, uint32_t line) {
  for (int step = 0; step < 8; ++step) {
    if (at == end || at->line >= line) return at;
    ++at;
  }
  return std::lower_bound(at, end, line, [](const Entry& entry, uint32_t value) { return entry.line < value; });
}

}  // namespace

LineCoverage functionCoverage(const PathTable& table, const LocatedFunction& function) {
  LineCoverage coverage;
  if (function.lines.empty()) return coverage;
  // The function's first line is searched for; the others follow it.
  const uint32_t first = function.lines.front();
  auto lineAt = std::lower_bound(table.lines.begin(), table.lines.end(), first,
                                 [](const LineHits& entry, uint32_t value) { return entry.line < value; });
  auto branchAt = std::lower_bound(table.branches.begin(), table.branches.end(), first,
                                   [](const BranchCount& entry, uint32_t value) { return entry.line < value; });
  for (uint32_t line : function.lines) {
    lineAt = seekLine<LineHits>(lineAt, table.lines.end(), line);
    if (lineAt != table.lines.end() && lineAt->line == line) {
      ++coverage.lines.found;
      if (lineAt->hits > 0) ++coverage.lines.hit;
    }
    branchAt = seekLine<BranchCount>(branchAt, table.branches.end(), line);
    for (auto b = branchAt; b != table.branches.end() && b->line == line; ++b) {
      ++coverage.branches.found;
      if (b->taken > 0) ++coverage.branches.hit;
    }
  }
  return coverage;
}

void functionCoverages(const PathTable& table, std::vector<LineCoverage>& out) {
  out.resize(table.functions.size());
  for (size_t i = 0; i < table.functions.size(); ++i) out[i] = functionCoverage(table, table.functions[i]);
}

}  // namespace qar
