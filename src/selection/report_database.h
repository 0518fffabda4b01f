#pragma once
// The database as the coverage reports see it: built once per run before the
// first report, then, for coverage reports, thinned by -onlycf and, once per
// run, prepared (counters copied onto the lines), header code extracted and
// the -nf files removed. qarpost's report dispatcher and the exports run the
// same sequence, so the same inputs give the same database and notices.

namespace qar {

// Reads the symbol and data files read into the database, the first time
// only. `contentsOnly` for the contents listings (-l, -L).
void buildReportDatabase(bool contentsOnly);

// Before each coverage report (-p, -u, -t, -x, the exports): -onlycf, then
// once per run the preparation pass, header extraction (unless -nhe) and the
// removal of -nf files.
void prepareDatabaseForCoverageReport();

// Forgets the once-per-run progress (tests, a new run in the same process).
void resetReportDatabaseState();

}  // namespace qar
