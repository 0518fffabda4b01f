#include "export/change/patch_coverage.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "base/file_names.h"
#include "export/change/code_lines.h"
#include "export/walk/export_paths.h"
#include "listings/measures.h"

namespace qar {
namespace {

// The final path component, folded as written names are compared.
std::string finalNameKey(std::string_view path) {
  const size_t slash = path.find_last_of("/\\");
  std::string key(slash == std::string_view::npos ? path : path.substr(slash + 1));
  for (char& c : key) c = foldFileNameChar(c);
  return key;
}

// How many final path components two names share (folded).
size_t sharedTail(std::string_view a, std::string_view b) {
  size_t shared = 0;
  size_t i = a.size();
  size_t j = b.size();
  while (i > 0 && j > 0 && sameFileNameChar(a[i - 1], b[j - 1])) {
    --i;
    --j;
    if ((a[i] == '/' || a[i] == '\\')) ++shared;
  }
  if ((i == 0 || a[i - 1] == '/' || a[i - 1] == '\\') && (j == 0 || b[j - 1] == '/' || b[j - 1] == '\\')) ++shared;
  return shared;
}

bool readWholeFile(const std::string& name, std::string& text) {
  std::ifstream in(name, std::ios::binary);
  if (!in) return false;
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

std::string sourceName(const std::optional<std::string>& root, const std::string& path) {
  if (!path.empty() && path.front() == '/') return path;
  std::string name = *root;
  if (!name.empty() && name.back() != '/') name += '/';
  return name + path;
}

bool isBranchRecord(uint32_t kind) {
  const CounterSource source = probeKindInfo(kind).source;
  return source == CounterSource::Decision || kind == 85 || kind == 14 || kind == 15 || kind == 16;
}

}  // namespace

PatchFigures& PatchFigures::operator+=(const PatchFigures& other) {
  lineCoverage += other.lineCoverage;
  statements.hits += other.statements.hits;
  statements.total += other.statements.total;
  addViewTer(ter, other.ter);
  mcdc += other.mcdc;
  return *this;
}

PatchCoverage::PatchCoverage(const UnifiedDiff& diff, std::string diffName,
                             const std::optional<std::string>& sourceRoot, CoverageView view)
    : diffName_(std::move(diffName)), view_(view) {
  for (const DiffFile& d : diff.files) {
    // A deleted file has nothing left to test; a binary file no lines.
    if (d.newPath.empty() || d.binary) continue;
    std::string key = exportPathKey(d.newPath);
    if (index_.contains(key)) continue;
    Tracked& t = files_.emplace_back();
    t.file.path = d.newPath;
    t.file.oldPath = d.oldPath;
    t.file.status = d.status;
    t.file.changedLines = changedLines(d);
    t.file.addedLines = static_cast<uint32_t>(t.file.changedLines.size());
    std::string source;
    if (sourceRoot && !t.file.changedLines.empty() && readWholeFile(sourceName(sourceRoot, d.newPath), source)) {
      const std::vector<bool> code = codeLines(source);
      t.file.sourceRead = true;
      std::erase_if(t.file.changedLines, [&code](uint32_t line) { return line <= code.size() && !code[line - 1]; });
    }
    const int at = static_cast<int>(files_.size() - 1);
    index_.emplace(std::move(key), at);
    byFinalName_[finalNameKey(d.newPath)].push_back(at);
  }
}

const std::vector<uint32_t>* PatchCoverage::changedLinesOf(const std::string& key) const {
  auto found = index_.find(key);
  return found == index_.end() ? nullptr : &files_[static_cast<size_t>(found->second)].file.changedLines;
}

int PatchCoverage::fileIndex(std::string_view path) const {
  auto found = index_.find(exportPathKey(path));
  return found == index_.end() ? -1 : found->second;
}

bool PatchCoverage::inChange(int file, uint32_t line, uint32_t lastLine) const {
  if (file < 0) return false;
  const std::vector<uint32_t>& changed = files_[static_cast<size_t>(file)].file.changedLines;
  auto at = std::lower_bound(changed.begin(), changed.end(), line);
  return at != changed.end() && *at <= lastLine;
}

void PatchCoverage::noteName(const std::string& path) {
  auto same = byFinalName_.find(finalNameKey(path));
  if (same == byFinalName_.end()) return;
  for (int at : same->second) {
    std::vector<std::string>& names = files_[static_cast<size_t>(at)].sameName;
    if (std::find(names.begin(), names.end(), path) == names.end()) names.push_back(path);
  }
}

bool PatchCoverage::touchesPlace(const std::string& place) {
  if (place != lastPlace_) {
    lastPlace_ = place;
    lastPlaceTouched_ = fileIndex(place) >= 0;
  }
  return lastPlaceTouched_;
}

void PatchCoverage::addRecord(const Probe& record, const std::string& place) {
  collectRecord(collector_, record, place);
  if (relevant_) return;
  // The collector has matched the place with its list already.
  const uint32_t at = collector_.functions.back().back().place;
  relevant_ = touchesPlace(collector_.places[at]);
}

void PatchCoverage::addFile(const FileResult& file) {
  noteName(file.path);
  if (int own = fileIndex(file.path); own >= 0) files_[static_cast<size_t>(own)].known = true;
  if (!relevant_) {
    clearCollector(collector_);
    return;
  }
  relevant_ = false;
  // The touched file of each place, looked up once.
  std::vector<int> placeFile(collector_.places.size(), -1);
  placeFile[0] = fileIndex(file.path);
  for (size_t p = 1; p < collector_.places.size(); ++p) placeFile[p] = fileIndex(collector_.places[p]);
  const auto figuresOf = [this](int at) -> PatchFigures& { return files_[static_cast<size_t>(at)].file.figures; };

  const size_t count = std::min(collector_.functions.size(), file.functions.size());
  for (size_t f = 0; f < count; ++f) {
    const std::vector<CollectedRecord>& records = collector_.functions[f];
    const FunctionResult& function = file.functions[f];
    if (records.empty()) continue;
    const uint32_t end = functionExtentEnd(records);
    for (size_t at = 0; at < records.size(); ++at) {
      const CollectedRecord& r = records[at];
      const int touched = placeFile[r.place];
      if (touched < 0) continue;
      Tracked& t = files_[static_cast<size_t>(touched)];
      t.known = true;
      const uint32_t last = at == 0 ? end : recordExtentEnd(records, at, end);
      if (at == 0) {
        uint32_t& functionEnd = t.functionEnds[r.line];
        functionEnd = std::max(functionEnd, last);
      } else if (isBranchRecord(r.kind)) {
        uint32_t& recordEnd = t.recordEnds[r.line];
        recordEnd = std::max(recordEnd, last);
      }
      if (!inChange(touched, r.line, last)) continue;
      Probe probe;
      probe.kind = r.kind;
      probe.line = r.line;
      probe.counter1 = r.counter1;
      probe.counter2 = r.counter2;
      PatchFigures& figures = figuresOf(touched);
      for (size_t v = 0; v < kCoverageViewCount; ++v) figures.ter[v] += probeTerFigures(probe, kCoverageViews[v]);
      if (at == 0 && function.statementsAvailable && !inOnePlace(records)) {
        // The statements' lines are not known where a line directive took
        // part of the function elsewhere: the function brings all of them.
        figures.statements.hits += function.statements.hits;
        figures.statements.total += function.statements.total;
      }
    }
    if (inOnePlace(records)) {
      const int home = placeFile[records[0].place];
      for (const RecordStatements& s : function.recordStatements) {
        if (!inChange(home, statementsFirstLine(s), s.line)) continue;
        PatchFigures& figures = figuresOf(home);
        figures.statements.hits += s.hits;
        figures.statements.total += s.total;
      }
    }
    for (const McdcConditionExtent& c : mcdcConditionExtents(records, function)) {
      const int touched = placeFile[c.place];
      if (!inChange(touched, c.line, c.lastLine)) continue;
      PatchFigures& figures = figuresOf(touched);
      ++figures.mcdc.conditions;
      if (c.condition->covered) ++figures.mcdc.covered;
      for (size_t v = 0; v < kCoverageViewCount; ++v) {
        figures.ter[v] += mcdcConditionTerFigures(!c.condition->covered, kCoverageViews[v]);
      }
    }
  }
  // Only the items the change's lines lie in get their words made.
  const int own = placeFile[0];
  std::string lastPath;
  int lastIndex = -1;
  const auto inThisChange = [&](std::string_view path, uint32_t first, uint32_t last) {
    if (path.empty()) return inChange(own, first, last);
    if (path != lastPath) {
      lastPath.assign(path);
      lastIndex = fileIndex(path);
    }
    return inChange(lastIndex, first, last);
  };
  for (UncoveredItem& item : uncoveredItems(collector_, file, view_, inThisChange)) {
    const int touched = fileIndex(item.path.empty() ? file.path : item.path);
    PatchFile& target = files_[static_cast<size_t>(touched)].file;
    item.path = target.path;
    target.uncovered.push_back(std::move(item));
  }
  clearCollector(collector_);
}

void PatchCoverage::addPath(const PathTable& table) {
  noteName(table.path);
  auto found = index_.find(table.key);
  if (found == index_.end()) return;
  const int at = found->second;
  Tracked& t = files_[static_cast<size_t>(at)];
  t.known = true;
  LineCoverage& coverage = t.file.figures.lineCoverage;
  for (const LineHits& line : table.lines) {
    if (!inChange(at, line.line, line.line)) continue;
    ++coverage.lines.found;
    if (line.hits > 0) ++coverage.lines.hit;
  }
  const auto extentEnd = [](const std::unordered_map<uint32_t, uint32_t>& ends, uint32_t line) {
    auto end = ends.find(line);
    return end == ends.end() ? line : std::max(line, end->second);
  };
  for (const BranchCount& branch : table.branches) {
    if (!inChange(at, branch.line, extentEnd(t.recordEnds, branch.line))) continue;
    ++coverage.branches.found;
    if (branch.taken > 0) ++coverage.branches.hit;
  }
  for (const LocatedFunction& function : table.functions) {
    if (!inChange(at, function.line, extentEnd(t.functionEnds, function.line))) continue;
    ++coverage.functions.found;
    if (function.calls > 0) ++coverage.functions.hit;
  }
}

PatchResult PatchCoverage::finish() {
  PatchResult result;
  result.diffName = diffName_;
  for (Tracked& t : files_) {
    if (!t.known) {
      FileWithoutCoverage missing;
      missing.path = t.file.path;
      std::vector<std::string>& names = t.sameName;
      std::stable_sort(names.begin(), names.end(), [&missing](const std::string& a, const std::string& b) {
        const size_t sa = sharedTail(a, missing.path);
        const size_t sb = sharedTail(b, missing.path);
        return sa != sb ? sa > sb : a < b;
      });
      if (names.size() > 3) names.resize(3);
      missing.closest = std::move(names);
      result.filesWithoutCoverage.push_back(std::move(missing));
      continue;
    }
    std::stable_sort(t.file.uncovered.begin(), t.file.uncovered.end(),
                     [](const UncoveredItem& a, const UncoveredItem& b) { return a.line < b.line; });
    result.summary += t.file.figures;
    result.uncoveredItems += t.file.uncovered.size();
    result.files.push_back(t.file);  // a copy: the HTML report's last page still reads the changed lines
  }
  return result;
}

}  // namespace qar
