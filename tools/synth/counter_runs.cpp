// Counts of one test run for one source file: the counter program of the
// file is played with a flow count per open block, so that branch counts add
// up to the flow that reached them, loops count iterations and exits, and
// code after a jump out of a block loses that block's flow.
#include <algorithm>
#include <vector>

#include "synth_plan.h"

namespace qar::synth {
namespace {

struct Frame {
  uint64_t flow = 0;
  uint64_t pendingFalse = 0;  // left for an else_if or else
  uint64_t doTrue = 0;        // repetitions of the last do loop
  uint64_t doFalse = 0;       // its exits
  uint64_t switchLeft = 0;    // flow of the switch not yet given to a case
};

uint32_t clamp(uint64_t value) { return value > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(value); }

// The part of `flow` that takes the true side: sometimes none, sometimes all.
uint64_t trueShare(Rng& rng, uint64_t flow) {
  uint32_t pick = rng.below(100);
  if (pick < 12) return 0;
  if (pick < 27) return flow;
  return flow * (1 + rng.below(99)) / 100;
}

uint64_t calls(Rng& rng) {
  uint32_t pick = rng.below(100);
  if (pick < 30) return 0;
  if (pick < 70) return 1 + rng.below(5);
  return 1 + rng.below(2000);
}

}  // namespace

void simulateRun(const SourcePlan& plan, Rng& rng, CounterArrays& block) {
  const CounterSizes& s = plan.sizes;
  block.functionCounts.assign(s.f, 0);
  block.jumpCounts.assign(s.j, 0);
  block.decisionTrueCounts.assign(s.d, 0);
  block.decisionFalseCounts.assign(s.d, 0);
  block.conditionCounts.assign(s.c, 0);
  block.timeTotals.assign(s.t, 0);
  block.timeMaxima.assign(s.t, 0);

  std::vector<Frame> stack;
  auto top = [&]() -> Frame& {
    if (stack.empty()) stack.emplace_back();
    return stack.back();
  };
  auto open = [&](uint64_t flow) { stack.push_back(Frame{flow, 0, 0, 0, 0}); };
  auto setDecision = [&](uint32_t index, uint64_t t, uint64_t f) {
    block.decisionTrueCounts[index] = clamp(t);
    block.decisionFalseCounts[index] = clamp(f);
  };

  const std::vector<CounterOp>& ops = plan.ops;
  for (size_t i = 0; i < ops.size(); ++i) {
    const CounterOp& op = ops[i];
    switch (op.op) {
      case OpCode::None:
        break;
      case OpCode::FunctionStart: {
        uint64_t n = calls(rng);
        block.functionCounts[op.index] = clamp(n);
        if (plan.timed && n > 0) {
          uint32_t cost = 5 + rng.below(5000);
          block.timeTotals[op.index] = static_cast<uint32_t>(n * cost);  // wraps like the counters
          block.timeMaxima[op.index] = cost + rng.below(cost);
        }
        stack.clear();
        open(n);
        break;
      }
      case OpCode::FunctionEnd:
        if (op.flag != 0) block.jumpCounts[op.index] = clamp(top().flow);
        stack.clear();
        break;
      case OpCode::Decision: {
        uint64_t flow = top().flow;
        uint64_t t = trueShare(rng, flow);
        setDecision(op.index, t, flow - t);
        top().pendingFalse = flow - t;
        open(t);
        break;
      }
      case OpCode::ElseIf: {
        uint64_t flow = top().pendingFalse;
        uint64_t t = trueShare(rng, flow);
        setDecision(op.index, t, flow - t);
        top().pendingFalse = flow - t;
        open(t);
        break;
      }
      case OpCode::Else: {
        uint64_t flow = top().pendingFalse;
        top().pendingFalse = 0;
        open(flow);
        break;
      }
      case OpCode::ConstDecision: {
        uint64_t flow = top().flow;
        if (op.flag != 0) setDecision(op.index, flow, 0);
        else setDecision(op.index, 0, flow);
        open(op.flag != 0 ? flow : 0);
        break;
      }
      case OpCode::Ternary: {
        uint64_t flow = top().flow;
        uint64_t t = trueShare(rng, flow);
        setDecision(op.index, t, flow - t);
        break;
      }
      case OpCode::Loop: {
        uint64_t flow = top().flow;
        uint64_t iterations = rng.chance(15) ? 0 : flow * rng.below(6);
        setDecision(op.index, iterations, flow);
        open(iterations);
        break;
      }
      case OpCode::Do: {
        uint64_t flow = top().flow;
        uint64_t repeats = rng.chance(30) ? 0 : flow * rng.below(4);
        top().doTrue = repeats;
        top().doFalse = flow;
        open(flow + repeats);
        break;
      }
      case OpCode::DoWhile:
        setDecision(op.index, top().doTrue, top().doFalse);
        break;
      case OpCode::BlockEnd: {
        if (stack.size() <= 1) break;
        uint64_t flow = stack.back().flow;
        stack.pop_back();
        if (op.flag != 0) top().flow -= std::min(top().flow, flow);
        break;
      }
      case OpCode::Jump:
        block.jumpCounts[op.index] = clamp(top().flow);
        break;
      case OpCode::Switch: {
        uint64_t flow = top().flow;
        open(0);
        top().switchLeft = flow;
        break;
      }
      case OpCode::Case: {
        Frame& frame = top();
        uint64_t share = trueShare(rng, frame.switchLeft);
        frame.switchLeft -= share;
        frame.flow = share;
        block.jumpCounts[op.index] = clamp(share);
        break;
      }
      case OpCode::Default:
      case OpCode::MissingDefault: {
        Frame& frame = top();
        frame.flow = frame.switchLeft;
        frame.switchLeft = 0;
        block.jumpCounts[op.index] = clamp(frame.flow);
        break;
      }
      case OpCode::Lambda: {
        uint64_t invocations = top().flow * rng.below(4);
        block.jumpCounts[op.index] = clamp(invocations);
        open(invocations);
        break;
      }
      case OpCode::LambdaEnd:
        block.jumpCounts[op.index] = clamp(top().flow);
        if (stack.size() > 1) stack.pop_back();
        break;
      case OpCode::Try:
        block.jumpCounts[op.index] = clamp(top().flow);
        open(top().flow);
        break;
      case OpCode::Catch: {
        uint64_t throws = rng.chance(80) ? 0 : top().flow / 20;
        block.jumpCounts[op.index] = clamp(throws);
        open(throws);
        break;
      }
      case OpCode::ForRange: {
        uint64_t iterations = top().flow * rng.below(8);
        block.jumpCounts[op.index] = clamp(iterations);
        open(iterations);
        break;
      }
      case OpCode::MultiDecision: {
        // The flow is spread over the combinations that follow.
        uint64_t left = top().flow;
        uint64_t t = 0;
        uint64_t f = 0;
        size_t combos = op.flag;
        for (size_t k = 0; k < combos && i + 1 < ops.size(); ++k) {
          const CounterOp& combo = ops[++i];
          uint64_t share = k + 1 == combos ? left : trueShare(rng, left);
          left -= share;
          block.conditionCounts[combo.index] = clamp(share);
          (combo.flag != 0 ? t : f) += share;
        }
        top().pendingFalse = f;
        open(t);
        break;
      }
      case OpCode::Combo:
        break;  // consumed by its MultiDecision
    }
  }
}

}  // namespace qar::synth
