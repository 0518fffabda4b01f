// The DESCRIPTION column: the text of each probe kind, the reachability
// marks, and the placement by nesting level cut to the listing width.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>

#include "base/posterr.h"
#include "listings/listing_cells.h"
#include "listings/postlist.h"
#include "listings/statement_analysis.h"

namespace qar {
namespace {

// Descriptions are built in a scratch of this many bytes, terminator included.
constexpr size_t kScratchLimit = 8192 - 1;

struct DescriptionState {
  bool marksEnabled = false;
  bool statementFiguresAvailable = true;
  bool functionTryBlockSeen = false;
  bool finalStatementPassed = false;
};

DescriptionState& descriptionState() {
  static thread_local DescriptionState state;
  return state;
}

ReachedFlagSource& reachedFlagSource() {
  static ReachedFlagSource source = nextReachedFlag;
  return source;
}

// The text of a kind is `before`, then the probe's text when `withText`,
// then `after`.
struct TextPattern {
  std::string_view before;
  std::string_view after;
  bool withText = false;
};

constexpr TextPattern text(std::string_view before, std::string_view after = {}) { return {before, after, true}; }
constexpr TextPattern fixed(std::string_view word) { return {word, {}, false}; }

constexpr TextPattern patternByKind(uint32_t kind) {
  switch (kind) {
    case 0: return text("FUNCTION ", "()");
    case 1: case 2: case 3: case 5: case 6: return fixed("}");
    case 4: case 50: case 51: return text("");
    case 10: return text("goto ");
    case 11: return text("continue ");
    case 12: return text("break ");
    case 13: return text("return ");
    case 14: return text("case ", ":");
    case 15: return fixed("default:");
    case 16: return fixed("missing-default:");
    case 20: return text("if (", ")");
    case 21: return text("else if (", ")");
    case 22: return text("while (", ")");
    case 23: return text("for (;", ";)");
    case 24: return text("do-while (", ")");
    case 25: return text("ternary-?: ");
    case 30: return text("const-if (", ")");
    case 31: return text("const-else if (", ")");
    case 32: return text("const-while (", ")");
    case 33: return text("const-for (;", ";)");
    case 34: return text("const-do-while (", ")");
    case 35: return text("const-ternary-?: ");
    case 40: return fixed("else");
    case 41: return fixed("do");
    case 42: return text("switch (", ")");
    case 43: return fixed("try");
    case 45: return text("", ":");
    case 55: return text("User counter: ");
    case 56: return text("User annotation: ");
    case 60: return fixed("try");
    case 61: return fixed("__try");
    case 62: return text("throw ");
    case 63: return text("catch (", ")");
    case 64: return text("__except (", ")");
    case 65: return fixed("__finally");
    case 66: return fixed("__leave");
    case 75: case 76: return text("");  // the combination number goes first
    case 77: return text("COND (", ")");
    case 85: return text("expr-andor: ");
    case 100: return text("while (", ") {");
    case 101: return text("for (;", ";) {");
    case 102: return text("for (", ") {");
    case 103: return text("for each (", ") {");
    case 104: return text("foreach (", ") {");
    default: return {};
  }
}

// The patterns looked up by kind: every listing line asks for one.
constexpr uint32_t kLargestPatternKind = 104;
using PatternTable = std::array<TextPattern, kLargestPatternKind + 1>;

constexpr PatternTable buildPatternTable() {
  PatternTable table{};
  for (uint32_t kind = 0; kind <= kLargestPatternKind; ++kind) table[kind] = patternByKind(kind);
  return table;
}

constexpr PatternTable kPatterns = buildPatternTable();
constexpr TextPattern kNoPattern{};

const TextPattern& patternOf(uint32_t kind) { return kind <= kLargestPatternKind ? kPatterns[kind] : kNoPattern; }

void appendCapped(std::string& out, std::string_view piece) {
  if (out.size() >= kScratchLimit) return;
  out.append(piece.substr(0, kScratchLimit - out.size()));
}

void appendNumber(std::string& out, uint32_t value) {
  char digits[16];
  auto result = std::to_chars(digits, digits + sizeof digits, value);
  appendCapped(out, std::string_view(digits, static_cast<size_t>(result.ptr - digits)));
}

// The listing text of `kind` into `out` (marks not included).
void buildListingText(std::string& out, uint32_t kind, std::string_view probeText, uint32_t combination) {
  out.clear();
  const TextPattern& pattern = patternOf(kind);
  if (kind == 75 || kind == 76) {
    appendNumber(out, combination);
    appendCapped(out, ": ");
  }
  appendCapped(out, pattern.before);
  if (pattern.withText) appendCapped(out, probeText);
  appendCapped(out, pattern.after);
}

bool askReachedFlag() {
  ReachedFlagSource source = reachedFlagSource();
  if (source == nullptr) failInternal("postlist", 210);
  return source();
}

// The reachability mark a kind carries ('\0' for none), asking for a
// reached flag exactly when a mark is possible so the flags stay in listing
// order.
char reachabilityMark(uint32_t kind) {
  const DescriptionState& state = descriptionState();
  if (!state.marksEnabled || !state.statementFiguresAvailable) return '\0';
  switch (kind) {
    case 1: case 2:
      if (state.functionTryBlockSeen) return askReachedFlag() ? '+' : '-';
      break;
    case 3:
      if (!(nestingLevel() == 0 && state.finalStatementPassed)) return askReachedFlag() ? '+' : '-';
      break;
    case 5: case 6:
      return askReachedFlag() ? '+' : '-';
    case 14: case 15: case 45:
      if (askReachedFlag()) return '+';
      break;
    default:
      break;
  }
  return '\0';
}

// Where a text that obeys the listing width goes: it starts at 2 x nesting
// + 30 and is cut, ending in "..", where it would pass the width. When the
// start reaches the width only ".." is left, two cells before the width (at
// 30 for widths up to 31). `room` is never below 2.
struct Placement {
  size_t column = 0;  // 0-based
  size_t room = 0;
};

Placement placementWithinWidth() {
  int64_t width = std::min<int64_t>(options().listingWidth, static_cast<int64_t>(kListingLineCells));
  int64_t start = 2 * static_cast<int64_t>(nestingLevel()) + 31;  // 1-based
  int64_t room = 0;
  if (start < width) {
    room = width - start + 1;
  } else {
    start = width <= 31 ? 31 : width - 1;
    room = 2;
  }
  return {static_cast<size_t>(start - 1), static_cast<size_t>(room)};
}

void placeWithinWidth(std::string& description) {
  const Placement placement = placementWithinWidth();
  if (description.size() > placement.room) {
    description.resize(placement.room);
    description[description.size() - 2] = '.';
    description[description.size() - 1] = '.';
  }
  putListingText(placement.column, description);
}

// Copies pieces to `at`, at most `left` characters in all.
struct PieceWriter {
  char* at;
  size_t left;
  void put(std::string_view piece) {
    const size_t count = std::min(piece.size(), left);
    if (count == 0) return;  // most pieces of most descriptions are empty
    std::memcpy(at, piece.data(), count);
    at += count;
    left -= count;
  }
};

// The description put together in the line's cells, as describeProbe's
// general way would place it, for a probe text without a NUL character (the
// only piece that can hold one). The scratch limit of the general way never
// shows: at most the line's cells past column 30, far fewer, are written.
void placeDescriptionInCells(uint32_t kind, std::string_view probeText, uint32_t combination, bool cut) {
  const TextPattern& pattern = patternOf(kind);
  char number[16];
  size_t numberSize = 0;
  if (kind == 75 || kind == 76) {
    numberSize = static_cast<size_t>(std::to_chars(number, number + sizeof number - 2, combination).ptr - number);
    number[numberSize++] = ':';
    number[numberSize++] = ' ';
  }
  const std::string_view textPiece = pattern.withText ? probeText : std::string_view();
  const char mark = reachabilityMark(kind);
  const size_t size =
      numberSize + pattern.before.size() + textPiece.size() + pattern.after.size() + (mark != '\0' ? 1 : 0);
  Placement placement{30, size};
  if (cut) placement = placementWithinWidth();
  const bool dots = size > placement.room;
  const size_t shown = dots ? placement.room : size;
  const size_t visible = std::min(shown, kListingLineCells - placement.column);
  PieceWriter writer{listingCells() + placement.column, dots ? std::min(visible, shown - 2) : visible};
  writer.put(std::string_view(number, numberSize));
  writer.put(pattern.before);
  writer.put(textPiece);
  writer.put(pattern.after);
  writer.put(std::string_view(&mark, mark != '\0' ? 1 : 0));
  if (dots) {
    writer.left = visible - (shown - 2 < visible ? shown - 2 : visible);
    writer.put("..");
  }
  noteListingCellsUsed(placement.column + visible);
}

std::string& scratch() {
  static thread_local std::string text = [] {
    std::string s;
    s.reserve(kScratchLimit + 1);
    return s;
  }();
  return text;
}

}  // namespace

void describeProbe(uint32_t kind, std::string_view probeText, uint32_t combinationNumber) {
  DescriptionState& state = descriptionState();
  if (kind == kKindFunction) {
    state.functionTryBlockSeen = false;
    state.finalStatementPassed = false;
  } else if (kind == 43) {
    state.functionTryBlockSeen = true;
  }
  // Functions, their ends and line records are never indented, never cut.
  const bool cut = !(kind == kKindFunction || kind == 1 || kind == 2 || kind == kKindLineEntry);
  if (std::memchr(probeText.data(), '\0', probeText.size()) == nullptr) {
    placeDescriptionInCells(kind, probeText, combinationNumber, cut);
    return;
  }
  // A NUL ends the text where it is placed, after the cut.
  std::string& description = scratch();
  buildListingText(description, kind, probeText, combinationNumber);
  if (const char mark = reachabilityMark(kind); mark != '\0') description += mark;
  if (cut) {
    placeWithinWidth(description);
  } else {
    putListingText(30, description);
  }
}

void describeMcdc(uint32_t conditionNumber, std::string_view pairList) {
  std::string& description = scratch();
  description.clear();
  appendCapped(description, "MC/DC (cond ");
  appendNumber(description, conditionNumber);
  appendCapped(description, "): ");
  appendCapped(description, pairList);
  placeWithinWidth(description);
}

std::string_view describeProbePlain(uint32_t kind, std::string_view probeText) {
  std::string_view plain;
  if (kind != 50 && kind != 51) {
    // Combinations show their text alone here; the number is the listings'.
    const TextPattern& pattern = patternOf(kind);
    if (!pattern.withText) {
      plain = pattern.before;
    } else if (pattern.before.empty() && pattern.after.empty()) {
      plain = probeText.substr(0, kScratchLimit);
    } else {
      static thread_local char text[kScratchLimit];
      PieceWriter writer{text, kScratchLimit};
      writer.put(pattern.before);
      writer.put(probeText);
      writer.put(pattern.after);
      plain = std::string_view(text, static_cast<size_t>(writer.at - text));
    }
  }
  while (!plain.empty() && plain.back() == ' ') plain.remove_suffix(1);
  return plain;
}

void setReachedFlagSource(ReachedFlagSource source) { reachedFlagSource() = source; }

void enableReachabilityMarks(bool enabled) { descriptionState().marksEnabled = enabled; }
void setStatementFiguresAvailable(bool available) { descriptionState().statementFiguresAvailable = available; }
bool statementFiguresAvailable() { return descriptionState().statementFiguresAvailable; }
void setFinalStatementPassed() { descriptionState().finalStatementPassed = true; }
bool finalStatementPassed() { return descriptionState().finalStatementPassed; }
bool functionTryBlockSeen() { return descriptionState().functionTryBlockSeen; }

void resetDescriptionState() { descriptionState() = DescriptionState{}; }

}  // namespace qar
