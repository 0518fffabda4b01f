#pragma once
// The description lines header extraction reads and compares: line records
// with the file they name, and the test that pairs the lines of a source's
// header code with those of the header file extracted before.
#include <cstddef>
#include <string_view>

#include "coverage/model.h"

namespace qar {

// The file a line record names: the text between the first two double
// quotes of its line; false when there are not two.
bool quotedFileName(std::string_view text, std::string_view& name);

// A line record of kind 50 (entry) or 51 with the file it names. A kind 50
// or 51 line without a quoted name is treated as an ordinary record: it
// opens no piece, ends none and is never cleaned up.
struct LineRecord {
  int kind = 0;  // 0: not a line record
  std::string_view name;
  explicit operator bool() const { return kind != 0; }
};

// The rest of lineRecordOf, for a text that starts with "50" or "51"; kept
// out of line so that the check before it is inlined where it is asked.
LineRecord namedLineRecord(std::string_view text);

inline LineRecord lineRecordOf(std::string_view text) {
  // Kind 50 or 51: "50" or "51" not followed by a third digit. Asked of
  // every line of every source, twice: the first two characters, checked
  // here without a call, turn nearly every line away.
  if (text.size() < 2 || text[0] != '5' || (text[1] != '0' && text[1] != '1')) return {};
  return namedLineRecord(text);
}

// Whether the lines [first, end) of `source`, a piece of header code ending
// at line `end` (the next entry record or the count line), are the header's
// lines from `at` on, pair by pair: the same instrumentation points, where
// counter indexes may differ between sources, and so may a member
// function's qualification and template spacing. The piece may match
// only the first part of the header's remaining lines; its last line may be
// left over where the header's lines end. With `checkInfoLine` (a header's
// first piece in a source) the info lines must also begin alike, which
// catches another instrumentation mode.
bool sameHeaderCode(const MonitoredFile& source, size_t first, size_t end, const MonitoredFile& header, size_t at,
                    bool checkInfoLine);

}  // namespace qar
