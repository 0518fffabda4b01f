#pragma once
// The one walk of the exports over the prepared database, through the same
// record reader, statement prepass, TER rules and MC/DC analysis as the
// coverage listings, so that the figures are the listings' figures.
#include <functional>
#include <optional>
#include <string>
#include <unordered_set>

#include "coverage/model.h"
#include "export/walk/export_results.h"
#include "export/walk/path_table.h"

namespace qar {

struct ExportWalkSinks {
  // Each database file, after its last record. The sink may take the
  // file's lists: the walk makes them anew for the next file.
  std::function<void(FileResult&)> file;
  // Each written file of the line-based formats, settled, with its totals:
  // as soon as it is complete, or at the end of the walk for the files that
  // several database files contribute to. Files without an instrumented
  // line are not passed.
  std::function<void(const PathTable&, const LineCoverage&)> path;
  // Each function record and each probe record of a function, as read
  // (before the file's own sink), for the lists of uncovered items, with
  // the written file whose line coverage it enters (the file's own, or the
  // one the line directive in force names).
  std::function<void(const Probe&, const std::string& place)> record;
  // When given, `record` hears only the database files for which it is true
  // of the key (exportPathKey) of their own written name or of a name one of
  // their line directives gives: a change touches few files of a large run.
  std::function<bool(const std::string& key)> recordsWanted;
  // Whether to keep the statements each record counted with a function that
  // starts in `place` (the lists of uncovered items and the change's figures
  // read them); none: never.
  std::function<bool(const std::string& place)> recordStatements;
};

// What the walk takes from the line directives before it starts: the
// written files that several database files share, and the database files
// whose records `recordsWanted` asks for. It reads the record texts as
// written, so it comes before anything walks the database; after it the
// record reader may keep each record line in its parsed form (the HTML
// report's listing walk and the export walk then scan no number twice).
struct ExportWalkPlan {
  std::unordered_set<std::string> sharedKeys;
  std::unordered_set<const MonitoredFile*> recordFiles;
};
ExportWalkPlan planExportWalk(const std::optional<std::string>& root,
                              const std::function<bool(const std::string& key)>& recordsWanted);

// Walks every record of the database; `root` as for exportPath. A bad
// record is ErrorCode 5, as in the listings. The database is walked once:
// without a plan, the walk makes its own first.
RunResult walkDatabaseForExport(const std::optional<std::string>& root, const ExportWalkSinks& sinks);
RunResult walkDatabaseForExport(const std::optional<std::string>& root, const ExportWalkSinks& sinks,
                                ExportWalkPlan plan);

}  // namespace qar
