// The shapes of generated code: functions with nested decisions, loops,
// switches, try blocks, lambdas, labels and gotos, and multiconditions with
// their combination, sum and condition records, as an instrumenting front end
// describes them. Statement counts run through each function so that the
// statement analysis finds a well-formed tree.
#include <array>
#include <string>
#include <vector>

#include "synth_plan.h"

namespace qar::synth {

uint64_t mixSeed(uint64_t seed, uint64_t a, uint64_t b) {
  Rng rng(seed ^ (a * 0xD6E8FEB86659FD93ull) ^ (b * 0xA0761D6478BD642Full));
  return rng.next();
}

namespace {

constexpr uint32_t kMaxDepth = 4;

const std::array<const char*, 12> kNames = {"count", "size", "index", "flags", "state", "limit",
                                            "offset", "mode", "length", "level", "status", "total"};
const std::array<const char*, 8> kCompare = {" > ", " < ", " == ", " != ", " >= ", " <= ", " & ", " > "};

const std::array<const char*, 12> kLongNames = {"p->n", "q->len", "r->cap", "s->top", "t->lvl", "u->flags",
                                                "v->size", "w->next", "x->prev", "y->mask", "z->count",
                                                "e->state"};

// A condition over one of a few variables, plain or (long texts) reached
// through long member accesses.
std::string condition(Rng& rng, bool longTexts) {
  const auto& names = longTexts ? kLongNames : kNames;
  std::string text = names[rng.below(static_cast<uint32_t>(names.size()))];
  text += kCompare[rng.below(kCompare.size())];
  text += rng.chance(50) ? std::to_string(rng.below(64)) : names[rng.below(static_cast<uint32_t>(names.size()))];
  return text;
}

// A compound condition in the form (c && c ...) || (c ...) || ..., with its
// short-circuit evaluations: each a value vector and the outcome.
struct Multicondition {
  std::vector<std::string> conditions;
  std::vector<uint32_t> groupSizes;
  std::vector<std::string> vectors;
  std::vector<bool> outcomes;
};

// Every evaluation path of the or-of-ands expression, true before false at
// each condition, as the front end lists the combinations.
void enumerate(const Multicondition& m, size_t group, size_t member, std::string& vector,
               Multicondition& out) {
  size_t start = 0;
  for (size_t g = 0; g < group; ++g) start += m.groupSizes[g];
  if (group == m.groupSizes.size()) {
    out.vectors.push_back(vector);
    out.outcomes.push_back(false);
    return;
  }
  size_t position = start + member;
  // The condition is true: the group goes on, or the whole expression is true.
  vector[position] = 'T';
  if (member + 1 < m.groupSizes[group]) {
    enumerate(m, group, member + 1, vector, out);
  } else {
    std::string done = vector;
    for (size_t p = start + m.groupSizes[group]; p < done.size(); ++p) done[p] = '_';
    out.vectors.push_back(done);
    out.outcomes.push_back(true);
  }
  // The condition is false: the rest of the group is skipped, the next group
  // is tried.
  vector[position] = 'F';
  std::string skipped = vector;
  for (size_t p = position + 1; p < start + m.groupSizes[group]; ++p) skipped[p] = '_';
  enumerate(m, group + 1, 0, skipped, out);
  vector[position] = '_';
}

Multicondition makeMulticondition(Rng& rng, bool longTexts) {
  Multicondition m;
  uint32_t shape = rng.below(4);
  if (shape == 0) m.groupSizes = {2};
  else if (shape == 1) m.groupSizes = {1, 1};
  else if (shape == 2) m.groupSizes = {2, 1};
  else m.groupSizes = {3};
  for (uint32_t size : m.groupSizes) {
    for (uint32_t i = 0; i < size; ++i) m.conditions.push_back(condition(rng, longTexts));
  }
  std::string vector(m.conditions.size(), '_');
  enumerate(m, 0, 0, vector, m);
  return m;
}

std::string expressionText(const Multicondition& m) {
  std::string text;
  size_t next = 0;
  for (size_t g = 0; g < m.groupSizes.size(); ++g) {
    if (g > 0) text += " || ";
    bool paren = m.groupSizes.size() > 1 && m.groupSizes[g] > 1;
    if (paren) text += "(";
    for (uint32_t i = 0; i < m.groupSizes[g]; ++i) {
      if (i > 0) text += " && ";
      text += m.conditions[next++];
    }
    if (paren) text += ")";
  }
  return text;
}

std::string offsetList(const std::vector<size_t>& offsets) {
  std::string text;
  for (size_t k : offsets) {
    if (!text.empty()) text += ",";
    text += std::to_string(k);
  }
  return text;
}

class FunctionBuilder {
 public:
  FunctionBuilder(Rng& rng, const CodeStyle& style, uint32_t& line, std::vector<Record>& out)
      : rng_(rng), style_(style), line_(line), out_(out) {}

  void function(const std::string& name) {
    statements_ = 0;
    add(0, 0, name, Counter::F, OpCode::FunctionStart);
    if (style_.functionOnly) {
      line_ += 3 + rng_.below(20);
      return;
    }
    hasCleanup_ = rng_.chance(12);
    statement(1 + rng_.below(2));  // a closing record needs a nonzero count
    bool endsWithReturn = block(1, style_.outerItems > 0 ? style_.outerItems : 2 + rng_.below(5));
    if (hasCleanup_) {
      add(45, 1, "cleanup");
      statement(1 + rng_.below(2));
      endsWithReturn = false;
    }
    if (!endsWithReturn && rng_.chance(40)) {
      statement(1);
      add(13, 1, kNames[rng_.below(kNames.size())], Counter::J, OpCode::Jump);
      endsWithReturn = true;
    }
    line_ += 1;
    if (endsWithReturn) add(2, 0, "", Counter::None, OpCode::FunctionEnd, 0);
    else add(1, 0, "", Counter::J, OpCode::FunctionEnd, 1);
    line_ += 2;
  }

 private:
  Record& add(uint32_t kind, uint32_t nesting, std::string text, Counter counter = Counter::None,
              OpCode op = OpCode::None, uint8_t flag = 0) {
    line_ += 1 + rng_.below(2);
    Record& r = out_.emplace_back();
    r.kind = kind;
    r.line = line_;
    r.statements = statements_;
    r.nesting = nesting;
    r.text = std::move(text);
    r.counter = counter;
    r.op = op;
    r.flag = flag;
    return r;
  }

  void statement(uint32_t count) {
    statements_ += count;
    line_ += count;
  }

  void blockEnd(uint32_t nesting, bool leftByJump) {
    add(3, nesting, "", Counter::None, OpCode::BlockEnd, leftByJump ? 1 : 0);
  }

  // The items of one block at `nesting`; true when it ends with a jump out.
  bool block(uint32_t nesting, uint32_t items) {
    for (uint32_t i = 0; i < items; ++i) {
      statement(rng_.below(3));
      if (nesting > kMaxDepth || rng_.chance(25)) {
        statement(1);
        continue;
      }
      uint32_t pick = rng_.below(100);
      if (pick < 34) ifChain(nesting);
      else if (pick < 46) loop(nesting);
      else if (pick < 52) doWhile(nesting);
      else if (pick < 61) switchStatement(nesting);
      else if (pick < 66) ternary(nesting);
      else if (pick < 70) constDecision(nesting);
      else if (pick < 78 && style_.cpp) tryCatch(nesting);
      else if (pick < 84 && style_.cpp) lambda(nesting);
      else if (pick < 90 && style_.cpp) rangeLoop(nesting);
      else if (pick < 95 && hasCleanup_) gotoCleanup(nesting);
      else statement(1 + rng_.below(3));
    }
    if (nesting > 1 && rng_.chance(15)) {
      statement(1);
      add(13, nesting, kNames[rng_.below(kNames.size())], Counter::J, OpCode::Jump);
      return true;
    }
    return false;
  }

  // A branch body: a few statements and maybe nested constructs.
  bool body(uint32_t nesting) {
    statement(1 + rng_.below(2));
    return block(nesting, rng_.below(3));
  }

  void decision(uint32_t kind, uint32_t nesting) {
    statement(1);
    if (style_.multicondition && rng_.chance(style_.multiconditionPercent) && (kind == 20 || kind == 22)) {
      multicondition(kind + 50, nesting);
      return;
    }
    OpCode op = kind == 21 ? OpCode::ElseIf : kind == 20 ? OpCode::Decision : OpCode::Loop;
    std::string text = condition(rng_, style_.longTexts);
    if (rng_.chance(20)) text += " && " + condition(rng_, style_.longTexts);
    // Long descriptions: a chain of comparisons, the kind of text whose
    // "<", ">" and "&" the XML report writes as entities.
    if (style_.longTexts) {
      for (uint32_t extra = 2 + rng_.below(4); extra > 0; --extra) {
        text += rng_.chance(70) ? " && " : " || ";
        text += condition(rng_, true);
      }
    }
    add(kind, nesting, text, Counter::D, op);
  }

  // The 78/79 sums, the decision, its combinations and per condition the
  // 80/81 sums with the condition record.
  void multicondition(uint32_t kind, uint32_t nesting) {
    Multicondition m = makeMulticondition(rng_, style_.longTexts);
    std::vector<size_t> trueOffsets, falseOffsets;
    for (size_t k = 0; k < m.vectors.size(); ++k) (m.outcomes[k] ? trueOffsets : falseOffsets).push_back(k);
    uint32_t combos = static_cast<uint32_t>(m.vectors.size());
    Record& base = add(78, nesting, offsetList(trueOffsets), Counter::CBase);
    base.offset = combos;
    uint32_t line = base.line;
    auto same = [&](uint32_t k, std::string text, Counter counter, uint32_t offset, OpCode op, uint8_t flag) {
      Record& r = add(k, nesting, std::move(text), counter, op, flag);
      r.offset = offset;
      r.line = line;
      line_ = line;
    };
    same(79, offsetList(falseOffsets), Counter::COffset, 0, OpCode::None, 0);
    same(kind, expressionText(m), Counter::COffset, 0, OpCode::MultiDecision, static_cast<uint8_t>(combos));
    for (uint32_t k = 0; k < combos; ++k) {
      same(m.outcomes[k] ? 75 : 76, m.vectors[k], Counter::COffset, k, OpCode::Combo, m.outcomes[k] ? 1 : 0);
    }
    for (size_t c = 0; c < m.conditions.size(); ++c) {
      std::vector<size_t> whenTrue, whenFalse;
      for (size_t k = 0; k < m.vectors.size(); ++k) {
        if (m.vectors[k][c] == 'T') whenTrue.push_back(k);
        if (m.vectors[k][c] == 'F') whenFalse.push_back(k);
      }
      same(80, offsetList(whenTrue), Counter::COffset, 0, OpCode::None, 0);
      same(81, offsetList(whenFalse), Counter::COffset, 0, OpCode::None, 0);
      same(77, m.conditions[c], Counter::COffset, 0, OpCode::None, 0);
    }
  }

  void ifChain(uint32_t nesting) {
    decision(20, nesting);
    blockEnd(nesting, body(nesting + 1));
    uint32_t elseIfs = rng_.chance(25) ? 1 + rng_.below(2) : 0;
    for (uint32_t i = 0; i < elseIfs; ++i) {
      decision(21, nesting);
      blockEnd(nesting, body(nesting + 1));
    }
    if (rng_.chance(35)) {
      add(40, nesting, "", Counter::None, OpCode::Else);
      blockEnd(nesting, body(nesting + 1));
    }
  }

  void constDecision(uint32_t nesting) {
    statement(1);
    bool value = rng_.chance(50);
    add(30, nesting, value ? "ENABLE_CHECKS" : "DEBUG_LEVEL > 0", Counter::D, OpCode::ConstDecision,
        value ? 1 : 0);
    blockEnd(nesting, body(nesting + 1));
  }

  void ternary(uint32_t nesting) {
    statement(1);
    add(25, nesting, condition(rng_, style_.longTexts), Counter::D, OpCode::Ternary);
  }

  // A while or for loop, sometimes left by a break or continued early.
  void loop(uint32_t nesting) {
    decision(rng_.chance(50) ? 22 : 23, nesting);
    statement(1);
    bool left = block(nesting + 1, rng_.below(2));
    if (!left && rng_.chance(35)) {
      decision(20, nesting + 1);
      statement(1);
      add(rng_.chance(70) ? 12 : 11, nesting + 2, "", Counter::J, OpCode::Jump);
      blockEnd(nesting + 1, true);
    }
    blockEnd(nesting, false);
  }

  void doWhile(uint32_t nesting) {
    statement(1);
    add(41, nesting, "", Counter::None, OpCode::Do);
    body(nesting + 1);
    blockEnd(nesting, false);
    add(24, nesting, condition(rng_, style_.longTexts), Counter::D, OpCode::DoWhile);
  }

  void switchStatement(uint32_t nesting) {
    statement(1);
    add(42, nesting, kNames[rng_.below(kNames.size())], Counter::None, OpCode::Switch);
    uint32_t cases = 2 + rng_.below(3);
    for (uint32_t c = 0; c < cases; ++c) {
      add(14, nesting, std::to_string(c * 2 + rng_.below(2)), Counter::J, OpCode::Case);
      statement(1 + rng_.below(2));
      if (rng_.chance(20)) {
        statement(1);
        add(13, nesting + 1, kNames[rng_.below(kNames.size())], Counter::J, OpCode::Jump);
      } else {
        add(12, nesting + 1, "", Counter::J, OpCode::Jump);
      }
    }
    if (rng_.chance(60)) {
      add(15, nesting, "", Counter::J, OpCode::Default);
      statement(1);
      add(12, nesting + 1, "", Counter::J, OpCode::Jump);
    } else {
      add(16, nesting, "", Counter::J, OpCode::MissingDefault);
    }
    blockEnd(nesting, false);
  }

  void tryCatch(uint32_t nesting) {
    add(60, nesting, "", Counter::J, OpCode::Try);
    statement(1);
    block(nesting + 1, rng_.below(2));
    if (rng_.chance(40)) {
      decision(20, nesting + 1);
      statement(1);
      add(62, nesting + 2, "std::runtime_error(\"failed\")", Counter::J, OpCode::Jump);
      blockEnd(nesting + 1, true);
    }
    blockEnd(nesting, false);
    uint32_t handlers = rng_.chance(25) ? 2 : 1;
    for (uint32_t h = 0; h < handlers; ++h) {
      add(63, nesting, h == 0 ? "const std::exception& error" : "...", Counter::J, OpCode::Catch);
      statement(1);
      blockEnd(nesting, false);
    }
  }

  void lambda(uint32_t nesting) {
    statement(1);
    add(4, nesting, "[&](int value)", Counter::J, OpCode::Lambda);
    statement(1);
    block(nesting + 1, rng_.below(2));
    add(5, nesting, "", Counter::J, OpCode::LambdaEnd);
  }

  void rangeLoop(uint32_t nesting) {
    statement(1);
    add(102, nesting, "const auto& item : items", Counter::J, OpCode::ForRange);
    body(nesting + 1);
    blockEnd(nesting, false);
  }

  void gotoCleanup(uint32_t nesting) {
    decision(20, nesting);
    statement(1);
    add(10, nesting + 1, "cleanup", Counter::J, OpCode::Jump);
    blockEnd(nesting, true);
  }

  Rng& rng_;
  const CodeStyle& style_;
  uint32_t& line_;
  std::vector<Record>& out_;
  uint32_t statements_ = 0;
  bool hasCleanup_ = false;
};

}  // namespace

void buildFunction(Rng& rng, const CodeStyle& style, const std::string& name, uint32_t& line,
                   std::vector<Record>& out) {
  FunctionBuilder(rng, style, line, out).function(name);
}

}  // namespace qar::synth
