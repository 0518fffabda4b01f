// postprof: the coverage listings (execution profile and untested code):
// banner, header block, the walk over all files, and the summary.
#include "listings/postprof.h"

#include "coverage/database.h"
#include "listings/coverage_walk.h"
#include "listings/kept_statements.h"
#include "listings/measures.h"
#include "listings/postlist.h"

namespace qar {
namespace {

void writeCoverageSummary(const CoverageWalk& walk) {
  const TerFigures& ter = walk.overallTer;
  const ListFigures list = listFigures();
  writeSummary(list.sourceFiles, list.headerFiles, walk.functionsListed, list.sourceLines,
               terPercent(ter.items, ter.misses), ter.covered(), ter.items,
               coverageTypeText(walk.anyFunctionOnly, walk.anyDecision, walk.anyMulticondition,
                                walk.view));
  const StatementTotals& statements = walk.overallStatements;
  if (!walk.anyDecision && !walk.anyMulticondition && statements.functionsWithoutFigures == 0) {
    writeStatementSummary(100, 0, 0, 0);
  } else {
    writeStatementSummary(statementPercent(statements.hits, statements.total), statements.hits,
                          statements.total, statements.functionsWithoutFigures);
  }
}

}  // namespace

void writeCoverageListing(bool untested) {
  beginCoverageWalk(untested, options().coverageView);
  // Reachability marks belong to the profile listing only.
  enableReachabilityMarks(!untested);
  writeListingBanner(untested ? ListingTitle::UntestedCode : ListingTitle::ExecutionProfile);
  writeHeaderBlock(HeaderBlockKind::Coverage);
  walkCoverageFiles();
  writeCoverageSummary(coverageWalk());
  if (untested) forgetStatementFigures();
}

}  // namespace qar
