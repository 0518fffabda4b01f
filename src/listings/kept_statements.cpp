#include "listings/kept_statements.h"

#include <deque>

namespace qar {
namespace {

struct KeptFunction {
  const DescriptionLine* function = nullptr;
  FunctionStatements statements;
};

struct KeptFigures {
  bool keeping = false;
  // In walk order; a deque grows without the copy and the double room of a
  // vector, which would add to the run's peak memory.
  std::deque<KeptFunction> functions;
  size_t next = 0;                      // where the next lookup starts
};

KeptFigures& kept() {
  static KeptFigures figures;
  return figures;
}

}  // namespace

void keepStatementFigures(bool keep) {
  forgetStatementFigures();
  kept().keeping = keep;
}

void rememberStatementFigures(const DescriptionLine* function, const FunctionStatements& statements) {
  KeptFigures& figures = kept();
  if (!figures.keeping || function == nullptr || statements.badRecordMet) return;
  figures.functions.push_back(KeptFunction{function, statements});
}

const FunctionStatements* keptStatementFigures(const DescriptionLine* function) {
  KeptFigures& figures = kept();
  if (function == nullptr) return nullptr;
  // The later walk sees the same functions in the same order, less those of
  // dropped files: search forward from the last match. A function that was
  // not kept ends the use of the rest, so that no walk searches twice.
  for (size_t at = figures.next; at < figures.functions.size(); ++at) {
    if (figures.functions[at].function == function) {
      figures.next = at + 1;
      return &figures.functions[at].statements;
    }
  }
  figures.next = figures.functions.size();
  return nullptr;
}

void forgetStatementFigures() {
  KeptFigures& figures = kept();
  figures.keeping = false;
  std::deque<KeptFunction>().swap(figures.functions);
  figures.next = 0;
}

}  // namespace qar
