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

// The condition texts of each multicondition of the collected file, in
// the order of the walk's analyses (function by function). A
// multicondition still open at its function's end is not analysed and
// gets no entry, as in the walk.
std::vector<std::vector<std::string>> multiconditionNames(const UncoveredCollector& collector,
                                                          const FileResult& file);

// The "MC/DC" section: nothing when the file has no analysed
// multicondition. Multicondition k (from 1, in file order) has the anchor
// "M<k>".
void appendMcdcSection(std::string& out, const FileResult& file,
                       const std::vector<std::vector<std::string>>& names, bool linesLinked);

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
