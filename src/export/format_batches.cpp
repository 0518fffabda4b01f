#include "export/format_batches.h"

#include <new>
#include <utility>

#include "base/posterr.h"
#include "export/formats/lcov_export.h"
#include "export/formats/sonar_export.h"
#include "export/output/export_aside.h"

namespace qar {
namespace {

// A batch goes to the second thread once it holds this many parts or rows
// (lines, branches, functions): large enough that handing over costs
// nothing beside the writing, small enough that the copies stay a few
// hundred kilobytes.
constexpr size_t kPartsPerBatch = 64;
constexpr size_t kRowsPerBatch = 16384;

FormatBatches* activeBatches = nullptr;

}  // namespace

struct FormatBatches::Batch {
  // One part: a database file's result or a written file's table. Parts
  // keep their storage from batch to batch.
  struct Part {
    bool isFile = false;
    FileResult file;
    PathTable table;  // without its functions' lines: functionCoverage has read them
    LineCoverage coverage;
    bool carry = false;
    // Made by the walk from the table it has just settled (still in its
    // cache), so that the second thread only writes.
    TableFigures figures;
  };
  std::vector<Part> parts;
  size_t used = 0;
  size_t rows = 0;
  std::vector<KeptStreamFailure> failures;
  bool outOfMemory = false;

  Part& next() {
    if (used == parts.size()) parts.emplace_back();
    return parts[used++];
  }
};

namespace {

void makeFigures(const FormatOutputs& outputs, const PathTable& table, bool carry, TableFigures& figures) {
  uniqueFunctionNames(table, figures.names);
  if (outputs.cobertura != nullptr && carry) {
    functionCoverages(table, figures.functions);
  } else {
    figures.functions.clear();
  }
}

void writeTable(const FormatOutputs& outputs, const PathTable& table, const LineCoverage& coverage, bool carry,
                const TableFigures& figures) {
  const std::vector<std::string>& names = figures.names;
  if (outputs.lcov != nullptr && carry) writeLcovRecord(*outputs.lcov, table, names, coverage);
  if (outputs.cobertura != nullptr && carry) {
    writeCoberturaClass(*outputs.cobertura, table, names, figures.functions, coverage);
  }
  if (outputs.sonar != nullptr && carry) writeSonarFile(*outputs.sonar, table);
  if (outputs.json != nullptr) writeJsonSource(*outputs.json, table, names, coverage);
}

// The table as the writers read it: every row but the functions' lines.
void copyForWriting(PathTable& into, const PathTable& from) {
  into.path = from.path;
  into.key = from.key;
  into.lines = from.lines;
  into.branches = from.branches;
  into.nextBlock = from.nextBlock;
  // The functions keep their strings' room from one batch to the next.
  into.functions.resize(from.functions.size());
  for (size_t i = 0; i < from.functions.size(); ++i) {
    LocatedFunction& function = into.functions[i];
    function.name = from.functions[i].name;
    function.line = from.functions[i].line;
    function.calls = from.functions[i].calls;
    function.lines.clear();
  }
}

size_t rowsOf(const PathTable& table) { return table.lines.size() + table.branches.size() + table.functions.size(); }

}  // namespace

FormatBatches::FormatBatches(const FormatOutputs& outputs, bool aside)
    : outputs_(outputs),
      any_(outputs.lcov != nullptr || outputs.cobertura != nullptr || outputs.sonar != nullptr ||
           outputs.json != nullptr),
      aside_(any_ && aside && exportPiecesAside()) {
  if (!aside_) return;
  filling_ = std::make_unique<Batch>();
  inFlight_ = std::make_unique<Batch>();
  activeBatches = this;
  addDiagnosticBarrier(barrier);
}

FormatBatches::~FormatBatches() {
  if (!aside_) return;
  // A run cut short: the batch in flight is waited for, not reported.
  forgetExportPieceOf(this);
  removeDiagnosticBarrier(barrier);
  activeBatches = nullptr;
}

void FormatBatches::addFile(FileResult& file, bool mayTake) {
  if (outputs_.json == nullptr) return;
  if (!aside_) {
    writeJsonFile(*outputs_.json, file);
    return;
  }
  Batch::Part& part = filling_->next();
  part.isFile = true;
  // Taken, the file's functions and their MC/DC lists change hands instead
  // of being copied; the walk gets the part's earlier ones, which it clears.
  if (mayTake) {
    std::swap(part.file, file);
  } else {
    part.file = file;
  }
  filling_->rows += file.functions.size() + 1;
  if (filling_->used >= kPartsPerBatch || filling_->rows >= kRowsPerBatch) handOver();
}

void FormatBatches::addPath(const PathTable& table, const LineCoverage& coverage, bool carry) {
  if (!any_) return;
  if (!aside_) {
    makeFigures(outputs_, table, carry, figures_);
    writeTable(outputs_, table, coverage, carry, figures_);
    return;
  }
  Batch::Part& part = filling_->next();
  part.isFile = false;
  makeFigures(outputs_, table, carry, part.figures);
  copyForWriting(part.table, table);
  part.coverage = coverage;
  part.carry = carry;
  filling_->rows += rowsOf(table) + 1;
  if (filling_->used >= kPartsPerBatch || filling_->rows >= kRowsPerBatch) handOver();
}

void FormatBatches::finish() {
  if (!aside_) return;
  handOver();
  settleExportPiece();
}

void FormatBatches::handOver() {
  if (filling_->used == 0) return;
  // The batch before must be written and settled before its storage is
  // filled again.
  settleExportPiece();
  std::swap(filling_, inFlight_);
  filling_->used = 0;
  filling_->rows = 0;
  Batch* batch = inFlight_.get();
  const FormatOutputs outputs = outputs_;
  handExportPiece(
      this,
      [batch, outputs] {
        KeepingStreamFailures keeping(batch->failures);
        try {
          for (size_t i = 0; i < batch->used; ++i) {
            Batch::Part& part = batch->parts[i];
            if (part.isFile) {
              writeJsonFile(*outputs.json, part.file);
            } else {
              writeTable(outputs, part.table, part.coverage, part.carry, part.figures);
            }
          }
        } catch (const std::bad_alloc&) {
          batch->outOfMemory = true;
        }
      },
      [batch] {
        reportKeptStreamFailures(batch->failures);
        if (batch->outOfMemory) {
          batch->outOfMemory = false;
          failWith(kOutOfMemory);
        }
      });
}

// Before any diagnostic: what the walk gathered so far is written and
// settled, so that a failure of its writing comes first, as in turn.
void FormatBatches::barrier() {
  if (activeBatches == nullptr) return;
  activeBatches->handOver();
  settleExportPiece();
}

}  // namespace qar
