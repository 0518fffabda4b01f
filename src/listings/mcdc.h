#pragma once
// MC/DC analysis of multiconditions: the combinations of one multicondition
// are registered as the listing walks them; the analysis then finds, for
// each condition, the pairs of a true and a false combination that show the
// condition's independent effect, and one line per condition is written.
#include <cstdint>
#include <span>
#include <string_view>

namespace qar {

// Registers one combination of the current multicondition: `outcome` true
// for ProbeKind 75 (count = counter 1), false for 76 (count = counter 2);
// `text` holds the condition values "T", "F" and "_". The record's line and
// nesting level are kept as the position of the MC/DC lines. Combinations
// are numbered from 1 in registration order; the analysis becomes pending.
void registerCombination(bool outcome, uint32_t count, std::string_view text, uint32_t line,
                         uint32_t nesting);

// True while combinations are registered and not yet analysed.
bool mcdcPending();

// Drops registered combinations without analysing them.
void clearMcdcPending();

// The line and nesting level of the last registered combination.
uint32_t mcdcSavedLine();
uint32_t mcdcSavedNesting();

// Builds the pairs and the chosen pair of each condition from the
// registered combinations, then forgets the combinations.
void analyseMcdc();

// A pair of combinations (by their numbers) that shows a condition's
// independent effect; covered when both combinations occurred.
struct McdcPair {
  uint32_t trueCombination = 0;
  uint32_t falseCombination = 0;
  bool covered = false;
};

struct McdcCondition {
  uint32_t number = 0;        // from 1
  bool uncovered = true;      // the chosen pair is uncovered, or there is none
  std::string_view pairList;  // "1 + 3, 2 - 3"; valid until the next call
  // The pairs of the list in its order (the chosen one first); valid until
  // the next call.
  std::span<const McdcPair> pairs;
};

// The next condition of the last analysis, in order; false after the last
// one, when the pairs are freed.
bool nextMcdcCondition(McdcCondition& condition);

// The MC/DC output of the coverage listings: analyses the pending
// combinations and, per condition, adds one item (and one miss when it is
// uncovered) and writes its "MC/DC (cond %u): %s" line at the saved position
// one level deeper, in the profile listing always, in the untested code
// listing only for uncovered conditions.
void writeMcdcOutput(bool profileListing, uint32_t& items, uint32_t& misses);

// Forgets everything (tests, a new listing).
void resetMcdc();

}  // namespace qar
