// The export walk: the loop of the coverage listings (files, include
// records, functions, probes), with every probe's TER added under all five
// coverage views at once, and every counted record entered in the line
// coverage of the file that the line directive in force names.
#include "export/walk/export_walk.h"

#include <algorithm>
#include <exception>
#include <iterator>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "base/posterr.h"
#include "config/configuration.h"
#include "coverage/database.h"
#include "coverage/record_reader.h"
#include "coverage/scan_numbers.h"
#include "export/walk/export_paths.h"
#include "listings/kept_statements.h"
#include "selection/header_extraction.h"

namespace qar {
namespace {

bool isSwitchLabel(uint32_t kind) { return kind == 14 || kind == 15 || kind == 16; }
bool isConstantDecision(uint32_t kind) { return kind >= 30 && kind <= 35; }
bool isCombination(uint32_t kind) { return kind == 75 || kind == 76; }
bool closesMulticondition(uint32_t kind) { return kind < 75 || kind > 81; }

// The file a line record names; false for one that names none.
bool directiveFileName(std::string_view text, std::string_view& name) {
  return quotedFileName(text, name) && !name.empty();
}

// The same test on a stored line, for the look over the database before the
// walk: its kind read as the record reader reads it.
bool isDirectiveLine(std::string_view text, std::string_view& name) {
  ScanText scan(text);
  int64_t kind = 0;
  if (!scanSigned(scan, kind) || (kind != kKindLineEntry && kind != kKindLineReturn)) return false;
  return directiveFileName(text, name);
}

struct SwitchScope {
  uint32_t nesting = 0;
  uint32_t block = 0;
  uint32_t nextBranch = 0;
  size_t contribution = 0;
};

// What one database file gives one written file.
struct Contribution {
  PathTable table;
  // The name as the database or a line directive gives it: a directive
  // naming the same again goes here without its path made anew.
  std::string name;
  bool deferred = false;  // other database files contribute to it too
};

struct ExportWalk {
  ExportWalk(const std::optional<std::string>& rootSetting, const ExportWalkSinks& walkSinks)
      : root(rootSetting), sinks(walkSinks) {}

  const std::optional<std::string>& root;
  const ExportWalkSinks& sinks;
  int32_t tick = 1;

  // Written files that a line directive of another database file reaches;
  // they are written at the end, all contributions added.
  std::unordered_set<std::string> sharedKeys;
  // The database files whose records the record sink hears, and whether the
  // current one is among them.
  std::unordered_set<const MonitoredFile*> recordFiles;
  bool passRecords = true;
  std::vector<SharedPathTable> deferred;
  std::unordered_map<std::string, size_t> deferredIndex;

  Probe record;     // nextRecord's buffer, the same for the whole walk
  Probe lookAhead;  // the statement prepass reads into this one
  RunResult run;

  FileResult file;
  std::vector<Contribution> contributions;  // [0]: the file's own path
  size_t contributionsUsed = 0;
  size_t target = 0;  // the contribution the directive in force names

  bool functionOpen = false;
  size_t functionContribution = 0;
  std::vector<uint32_t> functionLines;  // lines of the function's records where it stands
  std::vector<SwitchScope> switches;
  std::vector<McdcCombination> combinations;  // registered, not yet analysed
  std::vector<McdcConditionResult> conditions;  // of the multicondition being analysed
  std::vector<McdcPair> pairs;                  // and their pairs
};

PathTable& targetTable(ExportWalk& w) { return w.contributions[w.target].table; }

Contribution& useContribution(ExportWalk& w, std::string_view name, std::string path, std::string key) {
  if (w.contributionsUsed == w.contributions.size()) w.contributions.emplace_back();
  Contribution& contribution = w.contributions[w.contributionsUsed++];
  contribution.name.assign(name);
  contribution.table.clear();
  contribution.table.path = std::move(path);
  contribution.table.key = std::move(key);
  contribution.deferred = false;
  return contribution;
}

void followDirective(ExportWalk& w, std::string_view text) {
  std::string_view name;
  if (w.contributionsUsed == 0 || !directiveFileName(text, name)) return;
  // Line directives name the same few files again and again.
  for (size_t i = 0; i < w.contributionsUsed; ++i) {
    if (w.contributions[i].name == name) {
      w.target = i;
      return;
    }
  }
  std::string path = exportPath(name, w.root);
  std::string key = exportPathKey(path);
  for (size_t i = 0; i < w.contributionsUsed; ++i) {
    if (w.contributions[i].table.key == key) {
      w.target = i;
      return;
    }
  }
  bool deferred = w.contributions[0].deferred || key != w.contributions[0].table.key;
  useContribution(w, name, std::move(path), std::move(key)).deferred = deferred;
  w.target = w.contributionsUsed - 1;
}

// The next record that is not a line record; line records change the
// target as they pass, the last of a run being the one in force.
RecordCategory readRecord(ExportWalk& w) {
  RecordCategory category;
  while ((category = nextRecord(w.record)) == RecordCategory::LineRecord) followDirective(w, w.record.text);
  if (category == RecordCategory::BadRecord) failWith(kSymbolFileError);  // the reader named the file
  return category;
}

void addLine(ExportWalk& w, uint32_t line, uint32_t hits) {
  targetTable(w).lines.push_back({line, hits});
  if (w.functionOpen && w.target == w.functionContribution) w.functionLines.push_back(line);
}

void addBranch(ExportWalk& w, uint32_t line, uint32_t block, uint32_t branch, uint32_t taken, BranchKind kind) {
  targetTable(w).branches.push_back({line, block, branch, taken, kind});
}

// The line and the branches of a counted record. A decision counts its
// evaluations; each outcome is a branch (a constant decision has one). A
// case, default or missing default is one branch of its switch: the switch
// still open at the label's nesting.
void enterLineCoverage(ExportWalk& w, const Probe& p) {
  const CounterSource source = probeKindInfo(p.kind).source;
  if (p.kind == 42) {
    w.switches.push_back({p.nesting, targetTable(w).nextBlock++, 0, w.target});
    return;
  }
  if (p.kind == 3) {
    if (!w.switches.empty() && w.switches.back().nesting == p.nesting) w.switches.pop_back();
    return;
  }
  if (source == CounterSource::Jump) {
    addLine(w, p.line, p.counter1);
    if (!isSwitchLabel(p.kind)) return;
    uint32_t block;
    uint32_t branch = 0;
    if (!w.switches.empty() && w.switches.back().nesting == p.nesting && w.switches.back().contribution == w.target) {
      block = w.switches.back().block;
      branch = w.switches.back().nextBranch++;
    } else {
      block = targetTable(w).nextBlock++;
    }
    const BranchKind kind = p.kind == 14   ? BranchKind::Case
                            : p.kind == 15 ? BranchKind::Default
                                           : BranchKind::MissingDefault;
    addBranch(w, p.line, block, branch, p.counter1, kind);
    return;
  }
  const bool twoOutcomes = source == CounterSource::Decision || p.kind == 85;
  if (!twoOutcomes) return;
  addLine(w, p.line, addCounts(p.counter1, p.counter2));
  const uint32_t block = targetTable(w).nextBlock++;
  if (isConstantDecision(p.kind)) {
    addBranch(w, p.line, block, 0, addCounts(p.counter1, p.counter2), BranchKind::Constant);
  } else {
    addBranch(w, p.line, block, 0, p.counter1, BranchKind::True);
    addBranch(w, p.line, block, 1, p.counter2, BranchKind::False);
  }
}

// The registered combinations close: the MC/DC analysis gives each condition
// one item under the MC/DC view, missed without a covered pair.
void analyseMulticondition(ExportWalk& w, FunctionResult& function) {
  // The lists are gathered in the walk's own, which keep their room from one
  // multicondition to the next, and copied once at their final size.
  MulticonditionResult& result = function.multiconditions.emplace_back();
  result.line = mcdcSavedLine();
  result.combinations.assign(std::make_move_iterator(w.combinations.begin()),
                             std::make_move_iterator(w.combinations.end()));
  w.combinations.clear();
  analyseMcdc();
  w.conditions.clear();
  w.pairs.clear();
  McdcCondition condition;
  while (nextMcdcCondition(condition)) {
    for (size_t v = 0; v < kCoverageViewCount; ++v) {
      function.ter[v] += mcdcConditionTerFigures(condition.uncovered, kCoverageViews[v]);
    }
    w.conditions.push_back({condition.number, !condition.uncovered, static_cast<uint32_t>(w.pairs.size()),
                            static_cast<uint32_t>(condition.pairs.size())});
    w.pairs.insert(w.pairs.end(), condition.pairs.begin(), condition.pairs.end());
    ++function.mcdc.conditions;
    if (!condition.uncovered) ++function.mcdc.covered;
  }
  result.conditions.assign(w.conditions.begin(), w.conditions.end());
  result.pairs.assign(w.pairs.begin(), w.pairs.end());
}

void handleProbe(ExportWalk& w) {
  const Probe& p = w.record;
  if (w.sinks.record && w.passRecords) w.sinks.record(p, targetTable(w).path);
  FunctionResult& function = w.file.functions.back();
  if (mcdcPending() && closesMulticondition(p.kind)) analyseMulticondition(w, function);
  for (size_t v = 0; v < kCoverageViewCount; ++v) function.ter[v] += probeTerFigures(p, kCoverageViews[v]);
  if (isCombination(p.kind)) {
    const bool makesTrue = p.kind == 75;
    const uint32_t count = makesTrue ? p.counter1 : p.counter2;
    registerCombination(makesTrue, count, p.text, p.line, p.nesting);
    w.combinations.push_back({static_cast<uint32_t>(w.combinations.size() + 1), makesTrue, count, std::string(p.text)});
  }
  enterLineCoverage(w, p);
}

void beginFunction(ExportWalk& w) {
  const Probe& f = w.record;
  if (w.sinks.record && w.passRecords) w.sinks.record(f, targetTable(w).path);
  clearMcdcPending();
  w.combinations.clear();
  w.switches.clear();

  FunctionResult& function = w.file.functions.emplace_back();
  function.name.assign(f.text);
  function.line = f.line;
  function.calls = f.counter1;
  if (w.file.mode.decision) {
    // The profile listing of the HTML report, written before this walk,
    // kept the figures of the same analysis; the changed lines of a
    // patch need the analysis's records, which only a new one gives.
    const KeptFunction* kept = w.sinks.recordStatements ? nullptr : keptFunction(currentDescriptionLine());
    const FunctionStatements prepass = kept != nullptr ? kept->statements : analyseFunctionStatements(f, w.lookAhead);
    if (prepass.badRecordMet) failWith(kSymbolFileError);
    function.statements = prepass.figures;
    w.file.statements.hits += prepass.figures.hits;
    w.file.statements.total += prepass.figures.total;
  }
  function.statementsAvailable = function.statements.hits != 0 || function.statements.total != 0;
  if (function.statementsAvailable && w.passRecords && w.sinks.recordStatements &&
      w.sinks.recordStatements(targetTable(w).path)) {
    recordStatements(function.recordStatements);
  }
  if (!function.statementsAvailable) ++w.file.statements.functionsWithoutFigures;
  for (size_t v = 0; v < kCoverageViewCount; ++v) function.ter[v] = probeTerFigures(f, kCoverageViews[v]);
  if (w.file.mode.hasTiming()) {
    FunctionTiming timing;
    timing.total = scaledCost(f.timeTotal, w.tick);
    timing.maximum = scaledCost(f.timeMax, w.tick);
    timing.average = averageCost(timing.total, f.counter1);
    function.timing = timing;
  }
  ++w.run.functions;

  PathTable& table = targetTable(w);
  if (w.target != 0) function.path = table.path;
  table.functions.push_back({function.name, f.line, f.counter1, {}});
  w.functionContribution = w.target;
  w.functionOpen = true;
  w.functionLines.clear();
  addLine(w, f.line, f.counter1);
}

void endFunction(ExportWalk& w) {
  // Combinations still waiting at the function's end give no MC/DC figures:
  // the listings drop them there too.
  FunctionResult& function = w.file.functions.back();
  std::vector<uint32_t>& lines = w.functionLines;
  std::sort(lines.begin(), lines.end());
  lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
  w.contributions[w.functionContribution].table.functions.back().lines = lines;
  w.functionOpen = false;
  addViewTer(w.file.ter, function.ter);
  w.file.mcdc += function.mcdc;
  if (function.timing) w.file.timing.add(function.calls, *function.timing);
}

void beginFile(ExportWalk& w) {
  const MonitoredFile* monitored = currentMonitoredFile();
  // Cleared field by field: the lists keep their room for the next file.
  FileResult& file = w.file;
  file.name = monitored->name;
  file.includes.clear();
  file.functions.clear();
  file.ter = ViewTer{};
  file.statements = StatementTotals{};
  file.mcdc = McdcTotals{};
  file.timing = TimingTotals{};
  w.file.path = exportPath(w.file.name, w.root);
  w.file.isHeader = currentIsHeaderFile() != 0;
  w.file.mode = currentInstrumentationMode();
  w.file.sourceLines = w.file.isHeader ? 0 : monitored->sourceLineCount;
  if (w.file.mode.multicondition) {
    w.run.anyMulticondition = true;
  } else if (w.file.mode.decision) {
    w.run.anyDecision = true;
  } else {
    w.run.anyFunctionOnly = true;
  }
  w.passRecords = !w.sinks.recordsWanted || w.recordFiles.contains(monitored);
  w.contributionsUsed = 0;
  std::string key = exportPathKey(w.file.path);
  const bool shared = w.sharedKeys.contains(key);
  useContribution(w, w.file.name, w.file.path, std::move(key)).deferred = shared;
  w.target = 0;
  w.functionOpen = false;
}

void emitPath(ExportWalk& w, const PathTable& table) {
  if (table.lines.empty()) return;
  const LineCoverage coverage = lineCoverageOf(table);
  w.run.lineCoverage += coverage;
  if (w.sinks.path) w.sinks.path(table, coverage);
}

void endFile(ExportWalk& w) {
  addViewTer(w.run.ter, w.file.ter);
  w.run.statements += w.file.statements;
  w.run.mcdc += w.file.mcdc;
  w.run.timing.add(w.file.timing);
  if (w.sinks.file) w.sinks.file(w.file);
  for (size_t i = 0; i < w.contributionsUsed; ++i) {
    Contribution& contribution = w.contributions[i];
    settleContribution(contribution.table);
    if (!contribution.deferred) {
      emitPath(w, contribution.table);
      continue;
    }
    auto [at, inserted] = w.deferredIndex.try_emplace(contribution.table.key, w.deferred.size());
    if (inserted) w.deferred.emplace_back();
    w.deferred[at->second].add(std::move(contribution.table));
  }
  w.contributionsUsed = 0;
}

}  // namespace

namespace {

// Below this many description lines the plan takes about a millisecond:
// no second thread for it.
constexpr size_t kPlanAlongsideFromLines = 100000;

// The plan's look at the database files [begin, end).
void planFiles(MonitoredFileList::const_iterator begin, MonitoredFileList::const_iterator end,
               const std::optional<std::string>& root,
               const std::function<bool(const std::string& key)>& recordsWanted, ExportWalkPlan& plan) {
  // A line with values is a record that the preparation pass read as one of
  // another kind: line records keep none, and header extraction adds values
  // only into lines of the same kind. Most lines are passed over so, without
  // reading their text.
  const bool valuesTellKinds = database().countersPrepared;
  // The names a file's directives gave so far: a name given again adds
  // nothing, and line directives name the same few files again and again.
  std::unordered_set<std::string_view> named;
  for (auto monitored = begin; monitored != end; ++monitored) {
    const std::string home = exportPathKey(exportPath(monitored->name, root));
    bool wanted = recordsWanted && recordsWanted(home);
    named.clear();
    for (const DescriptionLine& line : monitored->descriptionLines) {
      if (valuesTellKinds && line.valuesRef != 0) continue;
      std::string_view name;
      if (!isDirectiveLine(lineText(line), name) || !named.insert(name).second) continue;
      std::string key = exportPathKey(exportPath(name, root));
      if (recordsWanted && !wanted) wanted = recordsWanted(key);
      if (key != home) plan.sharedKeys.insert(std::move(key));
    }
    if (wanted) plan.recordFiles.insert(&*monitored);
  }
}

}  // namespace

ExportWalkPlan planExportWalk(const std::optional<std::string>& root,
                              const std::function<bool(const std::string& key)>& recordsWanted) {
  ExportWalkPlan plan;
  const MonitoredFileList& files = database().monitoredFiles;
  size_t lines = 0;
  for (const MonitoredFile& monitored : files) lines += monitored.descriptionLines.size();
  // A large database is looked at by two threads, each over about half its
  // lines; the sets they gather are the same united. Only without a
  // question about records: the patch's answers are not asked from two
  // threads.
  auto half = files.begin();
  if (!recordsWanted && lines >= kPlanAlongsideFromLines) {
    for (size_t seen = 0; half != files.end() && seen < lines / 2; ++half) seen += half->descriptionLines.size();
  }
  ExportWalkPlan second;
  std::exception_ptr secondFailure;
  std::jthread alongside;
  if (half != files.begin() && half != files.end()) {
    try {
      alongside = std::jthread([&] {
        try {
          planFiles(half, files.end(), root, recordsWanted, second);
        } catch (...) {
          secondFailure = std::current_exception();
        }
      });
    } catch (const std::system_error&) {
      // No thread to be had: all of it here.
      half = files.end();
    }
  } else {
    half = files.end();
  }
  planFiles(files.begin(), half, root, recordsWanted, plan);
  if (alongside.joinable()) {
    alongside.join();
    if (secondFailure) std::rethrow_exception(secondFailure);
    plan.sharedKeys.merge(second.sharedKeys);
  }
  // The line directives above were the last record texts read as written.
  database().recordTextsCompactable = true;
  return plan;
}

RunResult walkDatabaseForExport(const std::optional<std::string>& root, const ExportWalkSinks& sinks) {
  return walkDatabaseForExport(root, sinks, planExportWalk(root, sinks.recordsWanted));
}

RunResult walkDatabaseForExport(const std::optional<std::string>& root, const ExportWalkSinks& sinks,
                                ExportWalkPlan plan) {
  ExportWalk w(root, sinks);
  w.tick = parseTick(configValue(ConfigParameter::Tick)).value_or(1);
  if (w.tick <= 0) w.tick = 1;
  w.sharedKeys = std::move(plan.sharedKeys);
  w.recordFiles = std::move(plan.recordFiles);
  resetRecordCursor();
  resetMcdc();

  RecordCategory category = readRecord(w);
  while (category == RecordCategory::FileStart) {
    beginFile(w);
    while ((category = readRecord(w)) == RecordCategory::IncludeRecord) {
      std::string_view name;
      if (quotedFileName(w.record.text, name)) w.file.includes.push_back(exportPath(name, w.root));
    }
    while (category == RecordCategory::FunctionRecord) {
      beginFunction(w);
      while ((category = readRecord(w)) == RecordCategory::ProbeRecord) handleProbe(w);
      endFunction(w);
    }
    endFile(w);
  }
  // A walk stopped early (an include record after a function) leaves the
  // cursor inside the database; a later walk must start from the top.
  if (category != RecordCategory::EndOfRecords) resetRecordCursor();
  for (SharedPathTable& table : w.deferred) emitPath(w, table.merged());

  RunResult& run = w.run;
  const ListFigures list = listFigures();
  run.sourceFiles += list.sourceFiles;
  run.headerFiles += list.headerFiles;
  run.sourceLines += list.sourceLines;
  return run;
}

}  // namespace qar
