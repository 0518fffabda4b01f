#include "listings/kept_statements.h"

#include <cstddef>
#include <deque>
#include <utility>
#include <vector>

namespace qar {
namespace {

struct KeptFunctions {
  bool keeping = false;
  // In walk order; a deque grows without the copy and the double room of a
  // vector, which would add to the run's peak memory.
  std::deque<KeptFunction> functions;
  size_t next = 0;  // where the next lookup starts
  // The functions of a walk in parts, until a walk in one piece joins them
  // into `functions`.
  std::vector<KeptPart> parts;
};

KeptFunctions& kept() {
  static thread_local KeptFunctions functions;
  return functions;
}

// The parts' functions joined in walk order, for a walk in one piece.
void joinKeptParts(KeptFunctions& figures) {
  for (KeptPart& part : figures.parts) {
    figures.functions.insert(figures.functions.end(), part.functions.begin(), part.functions.end());
    std::deque<KeptFunction>().swap(part.functions);
  }
  figures.parts.clear();
}

}  // namespace

void keepStatementFigures(bool keep) {
  forgetStatementFigures();
  kept().keeping = keep;
}

bool keepingStatementFigures() { return kept().keeping; }

void rememberFunction(const KeptFunction& function) {
  KeptFunctions& figures = kept();
  if (!figures.keeping || function.function == nullptr || function.statements.badRecordMet) return;
  figures.functions.push_back(function);
}

const KeptFunction* keptFunction(const DescriptionLine* function) {
  KeptFunctions& figures = kept();
  if (function == nullptr) return nullptr;
  if (!figures.parts.empty()) joinKeptParts(figures);
  // The later walk sees the same functions in the same order, less those of
  // dropped files: search forward from the last match. A function that was
  // not kept ends the use of the rest, so that no walk searches twice.
  // The functions before the match are never asked for again: they go, so
  // that what is kept shrinks as the later walk grows its own records.
  for (size_t at = figures.next; at < figures.functions.size(); ++at) {
    if (figures.functions[at].function == function) {
      figures.functions.erase(figures.functions.begin(), figures.functions.begin() + static_cast<std::ptrdiff_t>(at));
      figures.next = 1;
      return &figures.functions.front();
    }
  }
  figures.next = figures.functions.size();
  return nullptr;
}

std::deque<KeptFunction> takeKeptFunctions() {
  KeptFunctions& figures = kept();
  std::deque<KeptFunction> taken;
  taken.swap(figures.functions);
  figures.next = 0;
  return taken;
}

void appendKeptFunctions(std::deque<KeptFunction>& functions) {
  KeptFunctions& figures = kept();
  if (figures.functions.empty()) {
    figures.functions.swap(functions);
    return;
  }
  figures.functions.insert(figures.functions.end(), functions.begin(), functions.end());
  std::deque<KeptFunction>().swap(functions);
}

void keepFunctionsOfParts(std::vector<KeptPart> parts) {
  KeptFunctions& figures = kept();
  joinKeptParts(figures);
  figures.parts = std::move(parts);
}

std::vector<std::deque<KeptFunction>> takeKeptFunctionsOfParts(const std::vector<WalkPart>& parts) {
  KeptFunctions& figures = kept();
  const auto sameParts = [&parts, &figures] {
    if (figures.parts.size() != parts.size() || !figures.functions.empty()) return false;
    for (size_t i = 0; i < parts.size(); ++i) {
      if (figures.parts[i].files.first != parts[i].first || figures.parts[i].files.end != parts[i].end) return false;
    }
    return true;
  };
  std::vector<std::deque<KeptFunction>> taken;
  if (!sameParts()) return taken;
  taken.reserve(parts.size());
  for (KeptPart& part : figures.parts) taken.push_back(std::move(part.functions));
  figures.parts.clear();
  return taken;
}

bool hasKeptFunctions() {
  const KeptFunctions& figures = kept();
  return !figures.functions.empty() || !figures.parts.empty();
}

void forgetStatementFigures() {
  KeptFunctions& figures = kept();
  figures.keeping = false;
  std::deque<KeptFunction>().swap(figures.functions);
  figures.next = 0;
  figures.parts.clear();
}

}  // namespace qar
