#include "listings/mcdc.h"

#include <charconv>
#include <string>
#include <vector>

#include "listings/postlist.h"

namespace qar {
namespace {

constexpr size_t kVectorLimit = 4096;
constexpr size_t kNoPair = static_cast<size_t>(-1);

struct Combination {
  uint32_t number = 0;
  uint32_t count = 0;
  size_t vectorStart = 0;  // into McdcState::values
  size_t vectorLength = 0;
};

struct IndependencePair {
  uint32_t trueNumber = 0;
  uint32_t falseNumber = 0;
  bool uncovered = false;
};

struct McdcState {
  // Registration.
  std::vector<Combination> trueCombinations;
  std::vector<Combination> falseCombinations;
  std::string values;  // the value vectors, one after the other
  uint32_t nextNumber = 1;
  uint32_t savedLine = 0;
  uint32_t savedNesting = 0;
  // Analysis: the pairs of condition c (0-based) are
  // pairs[firstPair[c] .. firstPair[c + 1]).
  std::vector<IndependencePair> pairs;
  std::vector<size_t> firstPair;
  std::vector<size_t> chosenPair;  // per condition, kNoPair when it has none
  size_t cursor = 0;
  std::string pairList;
  std::vector<McdcPair> listedPairs;  // the pairs of pairList
};

McdcState& mcdc() {
  static thread_local McdcState state;
  return state;
}

// The value of a combination at 0-based position j. A vector shorter than
// the multicondition's length has no value for the positions past its end;
// they read as "_" (not evaluated), so no vector is read beyond its end.
char valueAt(const McdcState& state, const Combination& combination, size_t j) {
  return j < combination.vectorLength ? state.values[combination.vectorStart + j] : '_';
}

// True when the two combinations differ at `tested` and agree (or one side
// was not evaluated) at every other of the `length` positions. Positions past
// `length` of a longer vector are not looked at.
bool isIndependencePair(const McdcState& state, const Combination& t, const Combination& f,
                        size_t tested, size_t length) {
  for (size_t j = 0; j < length; ++j) {
    char a = valueAt(state, t, j);
    char b = valueAt(state, f, j);
    if (j == tested) {
      if (a == b) return false;
    } else if (a != b && a != '_' && b != '_') {
      return false;
    }
  }
  return true;
}

void appendNumber(std::string& out, uint32_t value) {
  char digits[16];
  char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, end);
}

void appendPair(McdcState& state, const IndependencePair& pair) {
  std::string& out = state.pairList;
  appendNumber(out, pair.trueNumber);
  out += pair.uncovered ? " - " : " + ";
  appendNumber(out, pair.falseNumber);
  state.listedPairs.push_back({pair.trueNumber, pair.falseNumber, !pair.uncovered});
}

void forgetCombinations(McdcState& state) {
  state.trueCombinations.clear();
  state.falseCombinations.clear();
  state.values.clear();
  state.nextNumber = 1;
}

void forgetPairs(McdcState& state) {
  state.pairs.clear();
  state.firstPair.clear();
  state.chosenPair.clear();
  state.cursor = 0;
}

}  // namespace

void registerCombination(bool outcome, uint32_t count, std::string_view text, uint32_t line,
                         uint32_t nesting) {
  McdcState& state = mcdc();
  Combination combination;
  combination.number = state.nextNumber++;
  combination.count = count;
  combination.vectorStart = state.values.size();
  for (char c : text) {
    if (combination.vectorLength == kVectorLimit) break;
    if (c == 'T' || c == 'F' || c == '_') {
      state.values.push_back(c);
      ++combination.vectorLength;
    }
  }
  (outcome ? state.trueCombinations : state.falseCombinations).push_back(combination);
  state.savedLine = line;
  state.savedNesting = nesting;
}

bool mcdcPending() {
  const McdcState& state = mcdc();
  return !state.trueCombinations.empty() || !state.falseCombinations.empty();
}

void clearMcdcPending() { forgetCombinations(mcdc()); }

uint32_t mcdcSavedLine() { return mcdc().savedLine; }
uint32_t mcdcSavedNesting() { return mcdc().savedNesting; }

void analyseMcdc() {
  McdcState& state = mcdc();
  forgetPairs(state);
  // Without a true combination there is no vector length: no conditions.
  size_t length = state.trueCombinations.empty() ? 0 : state.trueCombinations.front().vectorLength;
  for (size_t condition = 0; condition < length; ++condition) {
    size_t first = state.pairs.size();
    state.firstPair.push_back(first);
    for (const Combination& t : state.trueCombinations) {
      for (const Combination& f : state.falseCombinations) {
        if (isIndependencePair(state, t, f, condition, length)) {
          state.pairs.push_back({t.number, f.number, t.count == 0 || f.count == 0});
        }
      }
    }
    // The first covered pair represents the condition, else the first pair.
    size_t chosen = state.pairs.size() > first ? first : kNoPair;
    for (size_t p = first; p < state.pairs.size(); ++p) {
      if (!state.pairs[p].uncovered) {
        chosen = p;
        break;
      }
    }
    state.chosenPair.push_back(chosen);
  }
  state.firstPair.push_back(state.pairs.size());
  forgetCombinations(state);
}

bool nextMcdcCondition(McdcCondition& condition) {
  McdcState& state = mcdc();
  if (state.cursor >= state.chosenPair.size()) {
    forgetPairs(state);
    return false;
  }
  size_t index = state.cursor++;
  state.pairList.clear();
  state.listedPairs.clear();
  size_t chosen = state.chosenPair[index];
  // A condition that no pair of combinations shows independent gets its
  // line all the same, with an empty pair list, and counts as uncovered.
  condition.number = static_cast<uint32_t>(index + 1);
  condition.uncovered = true;
  if (chosen != kNoPair) {
    const IndependencePair& representative = state.pairs[chosen];
    condition.uncovered = representative.uncovered;
    appendPair(state, representative);
    for (size_t p = state.firstPair[index]; p < state.firstPair[index + 1]; ++p) {
      const IndependencePair& other = state.pairs[p];
      if (other.trueNumber == representative.trueNumber && other.falseNumber == representative.falseNumber) {
        continue;
      }
      state.pairList += ", ";
      appendPair(state, other);
    }
  }
  condition.pairList = state.pairList;
  condition.pairs = state.listedPairs;
  return true;
}

void writeMcdcOutput(bool profileListing, uint32_t& items, uint32_t& misses) {
  analyseMcdc();
  const McdcState& state = mcdc();
  McdcCondition condition;
  while (nextMcdcCondition(condition)) {
    ++items;
    if (condition.uncovered) ++misses;
    if (!profileListing && !condition.uncovered) continue;
    putLineNumber(state.savedLine);
    setNestingLevel(state.savedNesting + 1);
    describeMcdc(condition.number, condition.pairList);
    putMarker(condition.uncovered ? '-' : ' ');
    flushListingLine();
  }
}

void resetMcdc() {
  McdcState& state = mcdc();
  forgetCombinations(state);
  forgetPairs(state);
  state.savedLine = 0;
  state.savedNesting = 0;
}

}  // namespace qar
