#pragma once
// Shared types of the synthetic-project generator: the records of one
// instrumented function before their counter indices are known, and the
// compact counter program that lets every test run compute counts that agree
// with the control flow of the code the records describe.
#include <cstdint>
#include <string>
#include <vector>

#include "coverage/model.h"

namespace qar::synth {

// A small, fast generator; every file and every run gets its own stream so
// that the output depends only on the seed, not on the order of work.
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}
  uint64_t next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // 0 .. bound-1
  uint32_t below(uint32_t bound) { return static_cast<uint32_t>(next() % bound); }
  bool chance(uint32_t percent) { return below(100) < percent; }

 private:
  uint64_t state_;
};

uint64_t mixSeed(uint64_t seed, uint64_t a, uint64_t b = 0);

// What the simulation does at a record; every counted record has one.
enum class OpCode : uint8_t {
  None,
  FunctionStart,  // F (and T with timing): calls; opens the body
  FunctionEnd,    // flag 1: J = flow at the end; closes the body
  Decision,       // D: splits the flow; opens the true branch
  ElseIf,         // D: splits what the previous branch left
  Else,           // opens the last false branch
  ConstDecision,  // D: all flow to the side named by flag
  Ternary,        // D: splits the flow, opens nothing
  Loop,           // D: true = iterations, false = entries
  Do,             // opens the body of a do-while
  DoWhile,        // D: the do loop's repetitions and exits
  BlockEnd,       // closes; flag 1: the block left by a jump, its flow is lost
  Jump,           // J = flow
  Switch,         // opens the cases
  Case,           // J: a share of the switch's flow
  Default,        // J: the rest of the switch's flow
  MissingDefault, // J: the rest of the switch's flow
  Lambda,         // J = calls; opens the body
  LambdaEnd,      // J = flow at the end of the body; closes
  Try,            // J = flow; opens
  Catch,          // J = throws (mostly none); opens
  ForRange,       // J = iterations; opens
  MultiDecision,  // flag combinations follow as Combo ops; opens the true branch
  Combo,          // C: flag 1 for a true combination
};

struct CounterOp {
  OpCode op = OpCode::None;
  uint8_t flag = 0;
  uint32_t index = 0;
};

// Which counter array a record indexes.
enum class Counter : uint8_t { None, F, J, D, CBase, COffset };

// One record line before its counter index is assigned.
struct Record {
  uint32_t kind = 0;
  uint32_t line = 0;
  uint32_t statements = 0;
  uint32_t nesting = 0;
  std::string text;
  Counter counter = Counter::None;
  uint32_t offset = 0;  // CBase: combinations allocated; COffset: offset from the base
  OpCode op = OpCode::None;
  uint8_t flag = 0;
};

// What the code of a file may use.
struct CodeStyle {
  bool functionOnly = false;    // instrumented for function coverage only
  bool multicondition = false;  // compound conditions as multiconditions
  bool cpp = false;             // try blocks, lambdas, range loops
  // The XML-heavy shape: long member-access names in the conditions, and
  // this share of the if and while decisions written as multiconditions.
  bool longTexts = false;
  uint32_t multiconditionPercent = 45;
  // Items of a function's outermost block; 0: a few (2 to 6). Thousands of
  // records come from a few hundred.
  uint32_t outerItems = 0;
};

// Appends one function's records (function record to end record) to `out`,
// starting at source line `line`, which is moved past the function.
void buildFunction(Rng& rng, const CodeStyle& style, const std::string& name, uint32_t& line,
                   std::vector<Record>& out);

// Everything the data files need of one source file.
struct SourcePlan {
  std::string name;
  int32_t instrumentationTime = 0;
  uint32_t fingerprint = 0;
  bool timed = false;
  CounterSizes sizes;
  std::vector<CounterOp> ops;
};

// Fills the arrays of `block` (sized from `plan`) with the counts of one test
// run; `rng` decides calls and branch shares.
void simulateRun(const SourcePlan& plan, Rng& rng, CounterArrays& block);

}  // namespace qar::synth
