#pragma once
// The coverage of one file as the line-based formats carry it: which lines
// are instrumented and how often they ran, the branches on them, and the
// functions that start there. One database file contributes to the file it
// describes and, through line directives in force, to the files they name;
// contributions of several database files to one file add up.
#include <cstdint>
#include <string>
#include <vector>

namespace qar {

struct LineHits {
  uint32_t line = 0;
  uint32_t hits = 0;
};

enum class BranchKind : uint8_t { True, False, Constant, Case, Default, MissingDefault };

// The word of a branch kind ("true", "case", ...).
const char* branchKindName(BranchKind kind);

// One branch: `block` numbers the construct it belongs to within one
// database file's contribution (a decision, an and/or expression, a
// constant decision or a switch), `branch` its place in the construct.
struct BranchCount {
  uint32_t line = 0;
  uint32_t block = 0;
  uint32_t branch = 0;
  uint32_t taken = 0;
  BranchKind kind = BranchKind::True;
};

struct LocatedFunction {
  std::string name;
  uint32_t line = 0;
  uint32_t calls = 0;
  std::vector<uint32_t> lines;  // the instrumented lines of its records here, ascending
};

struct PathTable {
  std::string path;  // as written
  std::string key;   // exportPathKey of path
  std::vector<LineHits> lines;
  std::vector<BranchCount> branches;
  std::vector<LocatedFunction> functions;
  uint32_t nextBlock = 0;

  void clear() {
    lines.clear();
    branches.clear();
    functions.clear();
    nextBlock = 0;
  }
};

// Saturating addition of counts.
inline uint32_t addCounts(uint32_t a, uint32_t b) {
  uint32_t sum = a + b;
  return sum < a ? UINT32_MAX : sum;
}

// Puts one database file's contribution in order: lines ascending, each
// once with the largest count of the records on it; branches by line, block
// and branch; functions by line and name, one function per name and line
// (their calls added).
void settleContribution(PathTable& table);

// Adds a settled contribution into a settled table of the same file: the
// counts of the same line, of the same branch (line, block, branch) and of
// the same function (name and line) add up.
void mergeContribution(PathTable& into, const PathTable& from);

// A written file that many database files contribute to (a generated
// parser, a shared .inc file). Merging each contribution into the whole
// table would cost the table's size per contribution; instead contributions
// are appended and merged in one sorted pass when the appended rows
// outgrow the merged ones (so memory stays within about twice the merged
// table) and once more when the table is read. The result is that of
// mergeContribution applied in the order of the contributions.
class SharedPathTable {
 public:
  // Appends a settled contribution; its rows are moved out.
  void add(PathTable&& contribution);
  // The settled table of all contributions so far.
  const PathTable& merged();

 private:
  void mergeAppended();

  PathTable table_;
  size_t mergedRows_ = 0;  // rows of table_ at the last merge
  size_t rows_ = 0;        // rows of table_ now
};

struct CoverageCount {
  uint32_t found = 0;
  uint32_t hit = 0;
  CoverageCount& operator+=(const CoverageCount& other) {
    found += other.found;
    hit += other.hit;
    return *this;
  }
  friend bool operator==(const CoverageCount&, const CoverageCount&) = default;
};

struct LineCoverage {
  CoverageCount lines;
  CoverageCount branches;
  CoverageCount functions;
  LineCoverage& operator+=(const LineCoverage& other) {
    lines += other.lines;
    branches += other.branches;
    functions += other.functions;
    return *this;
  }
};

// The totals of a settled table.
LineCoverage lineCoverageOf(const PathTable& table);

// The names the outputs give the functions of a settled table, in its order:
// unique within the file, so a name met at more than one line gets "@" and
// the line added. Names are compared as an LCOV reader sees them (a comma
// ends a name there, so "," is compared as ";").
std::vector<std::string> uniqueFunctionNames(const PathTable& table);
// The same into `names`, whose strings keep their room from call to call.
void uniqueFunctionNames(const PathTable& table, std::vector<std::string>& names);

// The branches on one line of a settled table: found and taken.
struct LineBranches {
  uint32_t found = 0;
  uint32_t hit = 0;
};

// Walks the lines of a settled table with the branch figures of each.
template <typename Visit>
void forEachLine(const PathTable& table, Visit visit) {
  size_t b = 0;
  for (const LineHits& line : table.lines) {
    LineBranches branches;
    while (b < table.branches.size() && table.branches[b].line < line.line) ++b;
    while (b < table.branches.size() && table.branches[b].line == line.line) {
      ++branches.found;
      if (table.branches[b].taken > 0) ++branches.hit;
      ++b;
    }
    visit(line, branches);
  }
}

// A function's own line and branch coverage: its lines and the branches on them.
LineCoverage functionCoverage(const PathTable& table, const LocatedFunction& function);
// Every function's, in the table's order, into `out`.
void functionCoverages(const PathTable& table, std::vector<LineCoverage>& out);

}  // namespace qar
