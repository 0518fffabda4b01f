#include "listings/statement_analysis.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "coverage/record_reader.h"

namespace qar {
namespace {

constexpr uint32_t kNone = UINT32_MAX;
constexpr size_t kMaxOpenNodes = 500;

// Kinds by their part in the tree and the walk.
constexpr bool isNodeKind(uint32_t k) {
  return k <= 6 || (k >= 10 && k <= 16) || (k >= 20 && k <= 25) || (k >= 30 && k <= 35) ||
         k == 40 || k == 41 || k == 42 || k == 45 || k == 55 || (k >= 60 && k <= 66) ||
         (k >= 70 && k <= 74) || k == 85 || (k >= 100 && k <= 104);
}
constexpr bool isLoopWithDeclaration(uint32_t k) { return k >= 100 && k <= 104; }
constexpr bool isHandler(uint32_t k) { return k >= 63 && k <= 65; }
constexpr bool isOpener(uint32_t k) {
  return k == 4 || (k >= 20 && k <= 23) || (k >= 30 && k <= 33) || k == 40 || k == 41 ||
         k == 42 || k == 60 || k == 61 || isHandler(k) || (k >= 70 && k <= 73) ||
         isLoopWithDeclaration(k);
}
constexpr bool isCloser(uint32_t k) { return k >= 1 && k <= 6 && k != 4; }
// Openers a block end (kind 3) may close.
constexpr bool closesWithBlockEnd(uint32_t k) {
  return (k >= 20 && k <= 23) || (k >= 30 && k <= 33) || k == 40 || k == 41 || k == 42 ||
         k == 60 || k == 61 || isHandler(k) || (k >= 70 && k <= 73) || isLoopWithDeclaration(k);
}
// The if and else-if forms that may stand before an else or else-if.
constexpr bool isIfOrElseIf(uint32_t k) {
  return k == 20 || k == 21 || k == 30 || k == 31 || k == 70 || k == 71;
}
constexpr bool continuesChain(uint32_t k) { return k == 21 || k == 31 || k == 40 || k == 71; }
// What an unlabelled break leaves, and what a labelled one may name.
constexpr bool isBreakTarget(uint32_t k) {
  return k == 22 || k == 23 || k == 32 || k == 33 || k == 41 || k == 42 || k == 72 || k == 73 ||
         isLoopWithDeclaration(k);
}
constexpr bool carriesReachedMark(uint32_t k) {
  return isCloser(k) || k == 14 || k == 15 || k == 45;
}
// Only gotos, breaks and labels are searched by text.
constexpr bool keepsText(uint32_t k) { return k == 10 || k == 12 || k == 45; }

struct Node {
  uint32_t kind = 0;
  uint32_t statements = 0;
  uint32_t counter1 = 0;
  uint32_t counter2 = 0;
  uint32_t textBegin = 0;
  uint32_t textLength = 0;
  uint32_t previous = kNone;
  uint32_t next = kNone;
  uint32_t firstChild = kNone;
  uint32_t parent = kNone;
  bool reached = false;
  uint32_t line = 0;
  int64_t hitsHere = 0;  // what the walk added to the figures at this node
  int64_t totalHere = 0;
};

// First node by name; the views point into Analysis::texts.
using NameIndex = std::unordered_map<std::string_view, uint32_t>;

struct Analysis {
  std::vector<Node> nodes;  // in stored order, which is the tree's pre-order
  std::string texts;        // the kept texts, one after the other
  std::vector<uint32_t> open;
  NameIndex labels;  // filled by a walk that needs them, storage reused
  NameIndex gotos;
  bool enabled = false;
  bool closed = false;  // the function's closing brace has been added
  bool waitingForFirstChild = false;
  uint32_t lastAttached = kNone;
  uint32_t previousStatementCount = 0;
  uint32_t lastStatementCount = 0;
  uint32_t cursor = kNone;
};

Analysis& analysis() {
  static thread_local Analysis state;
  return state;
}

void clearTree(Analysis& a) {
  a.nodes.clear();
  a.texts.clear();
  a.open.clear();
  a.enabled = false;
  a.closed = false;
  a.waitingForFirstChild = false;
  a.lastAttached = kNone;
  a.previousStatementCount = 0;
  a.cursor = kNone;
}

void startTree(Analysis& a, uint32_t statementCount, uint32_t callCount, uint32_t line) {
  clearTree(a);
  Node root;
  root.kind = 0;
  root.counter1 = callCount;
  root.line = line;
  a.nodes.push_back(root);
  a.open.push_back(0);
  a.enabled = true;
  a.waitingForFirstChild = true;
  a.lastAttached = 0;
  a.previousStatementCount = statementCount;
  a.cursor = 0;
}

// The structural requirements of a node just attached; false disables.
bool openerFits(const Analysis& a, const Node& node) {
  const uint32_t before = node.previous == kNone ? kNone : a.nodes[node.previous].kind;
  if (continuesChain(node.kind)) return before != kNone && isIfOrElseIf(before);
  if (isHandler(node.kind)) {
    return before != kNone && (before == 60 || before == 61 || isHandler(before));
  }
  return true;
}

bool closerFits(const Analysis& a, const Node& node, uint32_t statementCount) {
  const uint32_t parentKind = a.nodes[node.parent].kind;
  switch (node.kind) {
    case 1: case 2: return node.parent == 0 && statementCount != 0;
    case 5: case 6: return parentKind == 4;
    default: return closesWithBlockEnd(parentKind);
  }
}

// The walk over a built tree, with the flow and probe flags of the rules.
class Walk {
 public:
  Walk(std::vector<Node>& nodes, const std::string& texts, NameIndex& labels, NameIndex& gotos)
      : n_(nodes), texts_(texts), labels_(labels), gotos_(gotos) {
    labels_.clear();
    gotos_.clear();
  }

  // False when the walk had to stop (the figures are then 0 and 0).
  bool run();
  StatementFigures figures() const { return {hits_, total_}; }

 private:
  std::string_view text(uint32_t i) const {
    return std::string_view(texts_).substr(n_[i].textBegin, n_[i].textLength);
  }

  void probeCheck(uint32_t i) {
    const Node& node = n_[i];
    switch (node.kind) {
      case 1: case 5: case 10: case 11: case 12: case 13: case 55:
      case 60: case 61: case 62: case 66:
      case 100: case 101: case 102: case 103: case 104:
        if (node.counter1 != 0) g_ = true;
        break;
      case 20: case 22: case 23: case 24: case 30: case 32: case 33: case 34:
      case 70: case 72: case 73: case 74: case 85:
        if (node.counter1 != 0 || node.counter2 != 0) g_ = true;
        break;
      default:
        break;
    }
  }

  void countWith(uint32_t i, bool flag) {
    total_ += n_[i].statements;
    if (flag) hits_ += n_[i].statements;
  }

  void setFlow(bool value) { f_ = g_ = value; }

  void markBlockEnd(uint32_t i) {
    for (uint32_t c = n_[i].firstChild; c != kNone; c = n_[c].next) {
      if (n_[c].kind == 3) {
        n_[c].reached = true;
        return;
      }
    }
  }

  uint32_t chainEnd(uint32_t i) const {
    while (n_[i].next != kNone && continuesChain(n_[n_[i].next].kind)) i = n_[i].next;
    return i;
  }

  uint32_t lastHandler(uint32_t i) const {
    while (n_[i].next != kNone && isHandler(n_[n_[i].next].kind)) i = n_[i].next;
    return i;
  }

  // The first label (kind 45) with `name` and the first goto (kind 10) that
  // ran with `name`, in pre-order. The node vector is the tree's pre-order
  // (every node is attached where the stored records had arrived), and
  // neither kind's text or counter changes during the walk, so one pass
  // builds an index that answers every search as a full pre-order search
  // would, without making the walk quadratic in the number of labels.
  uint32_t firstLabel(std::string_view name) { return lookUp(labels_, name); }
  uint32_t firstGotoThatRan(std::string_view name) { return lookUp(gotos_, name); }

  uint32_t lookUp(const NameIndex& index, std::string_view name) {
    if (!indexed_) buildNameIndex();
    const auto found = index.find(name);
    return found == index.end() ? kNone : found->second;
  }

  void buildNameIndex() {
    for (uint32_t i = 0; i < n_.size(); ++i) {
      if (n_[i].kind == 45) labels_.emplace(text(i), i);
      if (n_[i].kind == 10 && n_[i].counter1 != 0) gotos_.emplace(text(i), i);
    }
    indexed_ = true;
  }

  uint32_t parentNext(uint32_t i) const {
    const uint32_t p = n_[i].parent;
    return p == kNone ? kNone : n_[p].next;
  }

  bool blockEnd(uint32_t i);
  bool breakStatement(uint32_t i);

  std::vector<Node>& n_;
  const std::string& texts_;
  NameIndex& labels_;
  NameIndex& gotos_;
  bool indexed_ = false;
  uint32_t hits_ = 0;
  uint32_t total_ = 0;
  bool f_ = false;
  bool g_ = false;
  bool savedLambdaFlow_ = false;
  uint32_t at_ = 0;
};

// Kind 3; sets at_ to where the walk goes on. False stops the walk.
bool Walk::blockEnd(uint32_t i) {
  Node& node = n_[i];
  countWith(i, f_);
  const uint32_t p = node.parent;
  const uint32_t pk = n_[p].kind;
  if (isIfOrElseIf(pk) || pk == 40) {
    if (f_) markBlockEnd(chainEnd(p));
  } else if (pk == 42) {
    if (f_) {
      node.reached = true;
    } else if (!node.reached && n_[p].counter1 != 0) {
      bool hasDefault = false;
      for (uint32_t c = n_[p].firstChild; c != kNone; c = n_[c].next) {
        if (n_[c].kind == 15 || n_[c].kind == 16) hasDefault = true;
      }
      if (!hasDefault) {
        if (n_[p].next != kNone) probeCheck(n_[p].next);
        if (g_) node.reached = true;
      }
    }
  } else if (pk == 60 || pk == 61) {
    const uint32_t handler = n_[p].next;
    if (handler == kNone || !isHandler(n_[handler].kind)) return false;
    if (n_[handler].counter1 != 0) node.reached = true;
    const uint32_t last = lastHandler(handler);
    uint32_t handlerEnd = kNone;
    for (uint32_t c = n_[last].firstChild; c != kNone; c = n_[c].next) {
      if (n_[c].kind == 3) {
        handlerEnd = c;
        break;
      }
    }
    if (handlerEnd != kNone) {
      g_ = false;
      if (n_[last].next != kNone) probeCheck(n_[last].next);
      if (g_) n_[handlerEnd].reached = true;
    }
  } else if (isHandler(pk)) {
    const uint32_t after = n_[p].next;
    if (after != kNone && isHandler(n_[after].kind) && n_[after].counter1 != 0) node.reached = true;
    if (f_) markBlockEnd(lastHandler(p));
  }
  setFlow(node.reached);
  at_ = parentNext(i);
  return true;
}

// Kind 12. False stops the walk.
bool Walk::breakStatement(uint32_t i) {
  const Node& node = n_[i];
  probeCheck(i);
  countWith(i, g_);
  if (node.counter1 != 0) {
    if (node.textLength != 0) {
      const uint32_t label = firstLabel(text(i));
      if (label != kNone && n_[label].next != kNone) {
        const uint32_t x = n_[label].next;
        const uint32_t xk = n_[x].kind;
        if (xk == 20 || xk == 30 || xk == 70) {
          markBlockEnd(chainEnd(x));
        } else if (isBreakTarget(xk)) {
          markBlockEnd(x);
        }
      }
    } else {
      uint32_t p = node.parent;
      while (p != kNone && !isBreakTarget(n_[p].kind)) p = n_[p].parent;
      if (p == kNone) return false;
      markBlockEnd(p);
    }
  }
  setFlow(false);
  at_ = node.next;
  return true;
}

bool Walk::run() {
  at_ = 0;
  // What each node adds to the figures is kept with it, for the figures of a
  // part of the function: the change since the last node is its.
  uint32_t last = kNone;
  int64_t hitsBefore = 0;
  int64_t totalBefore = 0;
  const auto keepFigures = [&] {
    if (last != kNone && last != 0) {
      n_[last].hitsHere += int64_t{hits_} - hitsBefore;
      n_[last].totalHere += int64_t{total_} - totalBefore;
    }
    hitsBefore = hits_;
    totalBefore = total_;
  };
  while (at_ != kNone) {
    const uint32_t i = at_;
    keepFigures();
    last = i;
    Node& node = n_[i];
    const bool c1 = node.counter1 != 0;
    const bool c2 = node.counter2 != 0;
    switch (node.kind) {
      case 0:
        hits_ = total_ = 0;
        setFlow(c1);
        at_ = node.firstChild;
        break;
      case 1: case 2: {
        probeCheck(i);
        countWith(i, g_);
        setFlow(false);
        const uint32_t after = parentNext(i);
        if (after != kNone) node.reached = n_[after].counter1 != 0;
        at_ = after;
        break;
      }
      case 3:
        if (!blockEnd(i)) return false;
        break;
      case 4:
        countWith(i, f_);
        savedLambdaFlow_ = f_;
        setFlow(c1);
        at_ = node.firstChild;
        break;
      case 5: case 6:
        probeCheck(i);
        countWith(i, g_);
        node.reached = savedLambdaFlow_;
        setFlow(savedLambdaFlow_);
        at_ = parentNext(i);
        break;
      case 10: case 11: case 13: case 62: case 66:
        probeCheck(i);
        countWith(i, g_);
        if (g_ && !c1) hits_ -= 1;  // the jump itself did not run
        setFlow(false);
        at_ = node.next;
        break;
      case 12:
        if (!breakStatement(i)) return false;
        break;
      case 14: case 15:
        countWith(i, f_);
        if (c1) {
          setFlow(true);
        } else if (f_) {
          node.reached = true;  // reached by falling through
        }
        at_ = node.next;
        break;
      case 16:
        countWith(i, f_);
        if (c1) markBlockEnd(node.parent);
        at_ = node.next;
        break;
      case 20: case 22: case 23: case 30: case 32: case 33: case 70: case 72: case 73:
      case 21: case 31: case 71: {
        const bool elseIf = node.kind == 21 || node.kind == 31 || node.kind == 71;
        if (!elseIf) probeCheck(i);
        countWith(i, elseIf ? f_ : g_);
        total_ += 1;
        if (!c1 && !c2) {
          setFlow(false);
        } else {
          hits_ += 1;
          setFlow(c1);
          if (c2) markBlockEnd(i);
        }
        at_ = node.firstChild;
        break;
      }
      case 24: case 34: case 74:
        probeCheck(i);
        f_ = g_;
        countWith(i, g_);
        if (c2 && node.next != kNone) n_[node.next].reached = true;
        at_ = node.next;
        break;
      case 25: case 35:
        countWith(i, f_);
        at_ = node.next;
        break;
      case 40:
        setFlow(node.previous != kNone && n_[node.previous].counter2 != 0);
        countWith(i, f_);
        at_ = node.firstChild;
        break;
      case 41:
        countWith(i, f_);
        at_ = node.firstChild;
        break;
      case 42:
        countWith(i, f_);
        total_ += 1;
        if (f_) hits_ += 1;
        node.counter1 = f_ ? 1u : 0u;  // lets the switch's block end know it was entered
        setFlow(false);
        at_ = node.firstChild;
        break;
      case 45: {
        countWith(i, f_);
        if (firstGotoThatRan(text(i)) != kNone) {
          node.reached = true;
          setFlow(true);
        }
        at_ = node.next;
        break;
      }
      case 55:
        probeCheck(i);
        countWith(i, g_);
        setFlow(c1);
        at_ = node.next;
        break;
      case 60: case 61:
        probeCheck(i);
        countWith(i, g_);
        total_ += 1;
        setFlow(c1);
        if (f_) hits_ += 1;
        at_ = node.firstChild;
        break;
      case 63: case 64: case 65:
        setFlow(c1);
        at_ = node.firstChild;
        break;
      case 85:
        probeCheck(i);
        countWith(i, g_);
        setFlow(c1 || c2);
        at_ = node.next;
        break;
      case 100: case 101: case 102: case 103: case 104:
        total_ += 1;
        if (f_) hits_ += 1;
        probeCheck(i);
        countWith(i, g_);
        if (g_) markBlockEnd(i);
        setFlow(c1);
        at_ = node.firstChild;
        break;
      default:
        at_ = node.next;
        break;
    }
  }
  keepFigures();
  return true;
}

}  // namespace

void beginStatementTree() {
  Analysis& a = analysis();
  clearTree(a);
  a.lastStatementCount = 0;
}

void addStatementProbe(uint32_t kind, uint32_t statementCount, uint32_t counter1,
                       uint32_t counter2, std::string_view text, uint32_t line) {
  Analysis& a = analysis();
  a.lastStatementCount = statementCount;
  if (kind == 0) {
    startTree(a, statementCount, counter1, line);
    return;
  }
  if (!a.enabled || a.closed || !isNodeKind(kind)) return;
  if (a.open.empty()) {
    a.enabled = false;
    return;
  }

  const uint32_t index = static_cast<uint32_t>(a.nodes.size());
  Node node;
  node.kind = kind;
  node.statements = statementCount - a.previousStatementCount;
  node.counter1 = counter1;
  node.counter2 = counter2;
  node.line = line;
  if (keepsText(kind)) {
    node.textBegin = static_cast<uint32_t>(a.texts.size());
    node.textLength = static_cast<uint32_t>(text.size());
    a.texts.append(text);
  }
  node.parent = a.open.back();
  if (a.waitingForFirstChild) {
    a.nodes[node.parent].firstChild = index;
  } else {
    node.previous = a.lastAttached;
    a.nodes[a.lastAttached].next = index;
  }
  a.waitingForFirstChild = false;
  a.lastAttached = index;
  a.previousStatementCount = statementCount;
  a.nodes.push_back(node);

  if (isOpener(kind)) {
    if (a.open.size() >= kMaxOpenNodes) {
      a.enabled = false;
      return;
    }
    a.open.push_back(index);
    a.waitingForFirstChild = true;
    if (!openerFits(a, node)) a.enabled = false;
  } else if (isCloser(kind)) {
    // The closer's parent is the opener it ends; the next node follows that
    // opener.
    a.lastAttached = a.open.back();
    a.open.pop_back();
    if (!closerFits(a, node, statementCount)) a.enabled = false;
    if (kind == 1 || kind == 2) a.closed = true;
  }
}

void addStatementProbe(const Probe& probe) {
  addStatementProbe(probe.kind, probe.statementCount, probe.counter1, probe.counter2, probe.text, probe.line);
}

StatementFigures computeStatementFigures() {
  Analysis& a = analysis();
  if (!a.enabled || a.nodes.empty()) return {};
  Walk walk(a.nodes, a.texts, a.labels, a.gotos);
  const bool finished = walk.run();
  a.cursor = 0;
  return finished ? walk.figures() : StatementFigures{};
}

bool nextReachedFlag() {
  Analysis& a = analysis();
  if (!a.enabled || a.cursor == kNone) return false;
  for (;;) {
    const Node& at = a.nodes[a.cursor];
    uint32_t to = at.firstChild;
    if (to == kNone) to = at.next;
    if (to == kNone && at.parent != kNone) to = a.nodes[at.parent].next;
    if (to == kNone) return false;
    a.cursor = to;
    if (carriesReachedMark(a.nodes[to].kind)) return a.nodes[to].reached;
  }
}

bool statementAnalysisEnabled() { return analysis().enabled; }

void recordStatements(std::vector<RecordStatements>& out) {
  out.clear();
  const Analysis& a = analysis();
  if (!a.enabled) return;
  for (size_t i = 1; i < a.nodes.size(); ++i) {
    const Node& node = a.nodes[i];
    if (node.totalHere <= 0) continue;
    const int64_t hits = std::clamp<int64_t>(node.hitsHere, 0, node.totalHere);
    out.push_back({node.kind, std::min(a.nodes[i - 1].line, node.line), node.line, static_cast<uint32_t>(hits),
                   static_cast<uint32_t>(node.totalHere)});
  }
}

uint32_t lastStatementCount() { return analysis().lastStatementCount; }

FunctionStatements analyseFunctionStatements(const Probe& function, Probe& lookAhead) {
  FunctionStatements result;
  beginStatementTree();
  saveRecordCursor();
  addStatementProbe(function);
  for (;;) {
    const RecordCategory category = peekRecord(lookAhead);
    if (category == RecordCategory::FunctionRecord) break;
    if (category == RecordCategory::BadRecord) {
      result.badRecordMet = true;
      break;
    }
    addStatementProbe(lookAhead);
  }
  restoreRecordCursor();
  result.finalStatementCount = lastStatementCount();
  result.figures = computeStatementFigures();
  return result;
}

void resetStatementAnalysis() { analysis() = Analysis{}; }

}  // namespace qar
