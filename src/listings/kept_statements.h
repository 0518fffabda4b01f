#pragma once
// What the profile listing works out for each function and the untested code
// listing of the same run uses again. The untested listing shows no
// reachability marks, so it needs only the statement figures, and a second
// analysis of every function would repeat the first one's work exactly. Most
// functions show nothing in the untested listing: for those the profile
// listing also keeps their TER figures and where their last probe record
// starts, so that the untested listing counts them without reading their
// bodies again.
//
// Functions are known by their record's line (its address in its file's
// lines), which stays put once the database is prepared; dropping files
// without counters between the two listings only leaves entries unused.
#include <deque>
#include <vector>

#include "coverage/model.h"
#include "coverage/walk_parts.h"
#include "listings/measures.h"
#include "listings/statement_analysis.h"

namespace qar {

struct KeptFunction {
  const DescriptionLine* function = nullptr;
  FunctionStatements statements;  // of functions in decision-instrumented files
  TerFigures ter;                 // the function's, after all its probe records
  // Set when the untested listing writes nothing for the function's
  // records: the line from which reading the function's last probe record
  // (with the run of line records directly before it) leaves the reader as
  // reading the whole body does. nullptr: the body is walked.
  const DescriptionLine* lastProbeFrom = nullptr;
};

// Whether the listing now starting keeps its functions' figures (the driver
// asks for it when the untested listing follows the profile listing). Any
// figures kept earlier are forgotten.
void keepStatementFigures(bool keep);

// Whether the listing being written keeps its functions.
bool keepingStatementFigures();

// Records a function, when keeping; figures of a walk that met a bad record
// are not kept.
void rememberFunction(const KeptFunction& function);

// What was kept of `function`, or nullptr; valid until the next lookup,
// which frees the functions before it. Asked in walk order, as they were
// kept, each lookup costs a step or a few; after a function that was not
// kept, nullptr for every later one.
const KeptFunction* keptFunction(const DescriptionLine* function);

// Forgets and frees what was kept (after the untested listing; tests).
void forgetStatementFigures();

// Each thread keeps its own functions: a part of the profile listing's walk
// made on its own takes away what it kept (takeKeptFunctions), and the
// walk adds the parts' functions in order (appendKeptFunctions).
std::deque<KeptFunction> takeKeptFunctions();
void appendKeptFunctions(std::deque<KeptFunction>& functions);

// A profile listing walked in parts keeps its functions part by part: the
// untested listing, walked in the same parts, hands each part its own.
struct KeptPart {
  WalkPart files;
  std::deque<KeptFunction> functions;
};

// Keeps the functions of a profile listing walked in `parts`, in order.
// A walk in one piece that asks for them finds them joined in walk order.
void keepFunctionsOfParts(std::vector<KeptPart> parts);

// The functions kept for each of `parts`, when the profile listing was
// walked in exactly these parts; empty otherwise (the file list changed in
// between, or the listing was walked in one), and what is kept then stays
// for a walk in one piece.
std::vector<std::deque<KeptFunction>> takeKeptFunctionsOfParts(const std::vector<WalkPart>& parts);

// Whether any functions are kept.
bool hasKeptFunctions();

}  // namespace qar
