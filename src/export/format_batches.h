#pragma once
// The four formats (LCOV, Cobertura, SonarQube, JSON) written by the export's
// second thread: the walk copies what each writer reads (a written file's
// table, a database file's result) into a batch and goes on with the next
// files while the second thread writes the batch before. Making the formats'
// text costs about as much as the walk that feeds them, so the two cores
// share it. Everything observable is that of writing each file in its turn:
// - one batch at a time is written, in the order the walk gave its parts, by
//   the same writers into the same streams;
// - a stream that fails stops taking text at once; its failure is reported
//   when the batch is settled: before the next batch is handed over, at the
//   end of the walk, and before any diagnostic (a barrier in posterr), which
//   first hands over and settles what the walk has gathered so far;
// - without a second thread, or when an output is not a regular file, every
//   part is written at once, as before.
#include <memory>
#include <string>
#include <vector>

#include "export/walk/export_results.h"
#include "export/formats/cobertura_export.h"
#include "export/formats/json_export.h"
#include "export/output/export_stream.h"
#include "export/walk/path_table.h"

namespace qar {

// The outputs of the formats asked for; nullptr: not written.
struct FormatOutputs {
  ExportStream* lcov = nullptr;
  CoberturaDocument* cobertura = nullptr;
  ExportStream* sonar = nullptr;
  JsonDocument* json = nullptr;
};

// What the writers compute from a written file's table before they write it.
struct TableFigures {
  std::vector<std::string> names;     // uniqueFunctionNames
  std::vector<LineCoverage> functions;  // functionCoverages (for Cobertura)
};

class FormatBatches {
 public:
  // `aside`: the caller allows the second thread (no other output of the
  // walk shares it). Only one lives at a time.
  FormatBatches(const FormatOutputs& outputs, bool aside);
  ~FormatBatches();
  FormatBatches(const FormatBatches&) = delete;
  FormatBatches& operator=(const FormatBatches&) = delete;

  // A database file's result (the JSON document's file member). With
  // `mayTake`, the batch may take its lists instead of copying them (the
  // caller reads the file no more).
  void addFile(FileResult& file, bool mayTake);
  // A written file's table: `carry` says whether the line-based formats
  // carry it (JSON's sources take every table).
  void addPath(const PathTable& table, const LineCoverage& coverage, bool carry);
  // Writes what is left and settles it: the outputs may be ended after this.
  void finish();
  // Whether the second thread writes the batches.
  bool aside() const { return aside_; }

  struct Batch;

 private:
  void handOver();
  static void barrier();

  FormatOutputs outputs_;
  bool any_ = false;  // a format is written at all
  bool aside_ = false;
  std::unique_ptr<Batch> filling_;   // gathered by the walk
  std::unique_ptr<Batch> inFlight_;  // written by the second thread
  TableFigures figures_;  // of the table at hand, when written here
};

}  // namespace qar
