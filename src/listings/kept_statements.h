#pragma once
// Statement figures that the profile listing works out for each function and
// the untested code listing of the same run uses again: the untested listing
// shows no reachability marks, so it needs only the figures, and the second
// analysis of every function would repeat the first one's work exactly.
//
// Functions are known by their record's line (its address in its file's
// lines), which stays put once the database is prepared; dropping files
// without counters between the two listings only leaves entries unused.
#include "coverage/model.h"
#include "listings/statement_analysis.h"

namespace qar {

// Whether the listing now starting keeps its functions' figures (the driver
// asks for it when the untested listing follows the profile listing). Any
// figures kept earlier are forgotten.
void keepStatementFigures(bool keep);

// Records the figures of the function whose record is `function`, when
// keeping; figures of a walk that met a bad record are not kept.
void rememberStatementFigures(const DescriptionLine* function, const FunctionStatements& statements);

// The kept figures of `function`, or nullptr. Asked in walk order, as they
// were kept, each lookup costs a step or a few; after a function that was
// not kept, nullptr for every later one.
const FunctionStatements* keptStatementFigures(const DescriptionLine* function);

// Forgets and frees the kept figures (after the untested listing; tests).
void forgetStatementFigures();

}  // namespace qar
