#pragma once
// The MC/DC detail of a file page: for every multicondition its
// combinations and, per condition named by its text from the symbol file,
// the independence pair that covers it or the pairs that would. It is
// shown for every file instrumented for multiconditions under every view,
// since the walk analyses the conditions whatever view the figures take.
#include <string>
#include <vector>

#include "export/walk/export_results.h"
#include "export/walk/uncovered_items.h"

namespace qar {

// The condition texts of each multicondition of a file, all in one text:
// a file may have thousands of conditions, and a list of strings each cost
// the walk an allocation a name.
struct ConditionNames {
  std::string text;
  std::vector<uint32_t> ends;    // where each name ends in `text`
  std::vector<uint32_t> firsts;  // per multicondition its first name in `ends`, and one past the last
  size_t multiconditions() const { return firsts.empty() ? 0 : firsts.size() - 1; }
  size_t count(size_t multicondition) const {
    return multicondition < multiconditions() ? firsts[multicondition + 1] - firsts[multicondition] : 0;
  }
  // Empty when the records named no such condition.
  std::string_view name(size_t multicondition, size_t condition) const;
};

// The condition texts of each multicondition of the collected file, in
// the order of the walk's analyses (function by function), into `names`
// (its storage kept). A multicondition still open at its function's end
// is not analysed and gets no entry, as in the walk.
void multiconditionNames(const UncoveredCollector& collector, const FileResult& file, ConditionNames& names);

// The "MC/DC" section: nothing when the file has no analysed
// multicondition. Multicondition k (from 1, in file order) has the anchor
// "M<k>".
void appendMcdcSection(std::string& out, const FileResult& file, const ConditionNames& names, bool linesLinked);

// Where each multicondition stands, for the link from its line.
struct McdcMark {
  uint32_t line = 0;
  size_t number = 0;  // k, as in the anchor
  uint32_t covered = 0;
  uint32_t conditions = 0;
};
std::vector<McdcMark> mcdcMarks(const FileResult& file);

// The annotation that links a line to the detail of a multicondition.
void appendMcdcLink(std::string& out, const McdcMark& mark);

}  // namespace qar
