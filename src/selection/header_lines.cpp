#include "selection/header_lines.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/file_names.h"
#include "coverage/database.h"

namespace qar {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isNoCounterKind(std::string_view text) {
  return text.size() >= 2 && text[0] == '9' && (text[1] == '0' || text[1] == '1' || text[1] == '2');
}

// Compares the rests again, passing over one blank in each at every step, so
// that template argument lists written with and without blanks meet.
bool sameTemplateText(std::string_view h, std::string_view r) {
  size_t i = 0;
  size_t j = 0;
  for (;;) {
    if (i < h.size() && h[i] == ' ') ++i;
    if (j < r.size() && r[j] == ' ') ++j;
    if (i == h.size() || j == r.size()) return i == h.size() && j == r.size();
    if (h[i] != r[j]) return false;
    ++i;
    ++j;
  }
}

// Where `a` and `b` first differ (the shorter one's size when one starts the
// other), eight bytes at a time.
size_t firstDifference(std::string_view a, std::string_view b) {
  const size_t common = std::min(a.size(), b.size());
  size_t i = 0;
  if constexpr (std::endian::native == std::endian::little) {
    // Eight bytes ending at `at`: where they first differ, or none.
    const auto differenceBefore = [&a, &b](size_t at) {
      uint64_t x = 0;
      uint64_t y = 0;
      std::memcpy(&x, a.data() + at - 8, 8);
      std::memcpy(&y, b.data() + at - 8, 8);
      return x == y ? SIZE_MAX : at - 8 + static_cast<size_t>(std::countr_zero(x ^ y)) / 8;
    };
    if (common >= 8) {
      for (i = 8; i <= common; i += 8) {
        if (const size_t at = differenceBefore(i); at != SIZE_MAX) return at;
      }
      // The last bytes, overlapping some already found equal.
      if (i - 8 == common) return common;
      const size_t at = differenceBefore(common);
      return at == SIZE_MAX ? common : at;
    }
  }
  while (i < common && a[i] == b[i]) ++i;
  return i;
}

// The high bit of every byte of `word` that is a blank.
uint64_t blankBytes(uint64_t word) {
  constexpr uint64_t kLowSeven = 0x7F7F7F7F7F7F7F7Full;
  const uint64_t v = word ^ 0x2020202020202020ull;
  return ~(((v & kLowSeven) + kLowSeven) | v | kLowSeven);
}

// Where the text after the third blank of `h` starts, when that blank lies
// before `limit` (at most h.size()); 0 otherwise. Eight bytes at a time: the
// counter index, where the lines of two sources usually differ, follows the
// third blank at ten to twenty characters.
size_t afterThirdBlank(std::string_view h, size_t limit) {
  int needed = 3;
  size_t at = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (; at < limit && at + 8 <= h.size(); at += 8) {
      uint64_t word = 0;
      std::memcpy(&word, h.data() + at, 8);
      uint64_t blanks = blankBytes(word);
      if (limit - at < 8) blanks &= (uint64_t{1} << (8 * (limit - at))) - 1;
      for (; blanks != 0; blanks &= blanks - 1) {
        if (--needed == 0) return at + static_cast<size_t>(std::countr_zero(blanks)) / 8 + 1;
      }
    }
  }
  for (; at < limit; ++at) {
    if (h[at] == ' ' && --needed == 0) return at + 1;
  }
  return 0;
}

bool sameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && firstDifference(a, b) == a.size();
}

// Whether line `r` of a source's piece is the same instrumentation point as
// line `h` of the extracted header. Counter indexes may differ between
// sources; so may a member function's qualification and template spacing.
bool sameHeaderLine(std::string_view h, std::string_view r) {
  const size_t difference = firstDifference(h, r);
  // Equal texts pass every test below.
  if (difference == h.size() && difference == r.size()) return true;
  LineRecord headerRecord = lineRecordOf(h);
  LineRecord pieceRecord = lineRecordOf(r);
  if (headerRecord && pieceRecord) return sameHeaderPath(headerRecord.name, pieceRecord.name);
  if (isNoCounterKind(h) && isNoCounterKind(r)) return true;

  // Kind, line number and statement count, up to and including the third
  // blank, are the same in both: the texts may differ only after it.
  const size_t k = afterThirdBlank(h, difference);
  if (k == 0) return false;
  // The counter index is passed over in both.
  size_t hk = k;
  size_t rk = k;
  while (hk < h.size() && isDigit(h[hk])) ++hk;
  while (rk < r.size() && isDigit(r[rk])) ++rk;
  std::string_view hRest = h.substr(hk);
  std::string_view rRest = r.substr(rk);

  // A function (or its end) named N in the header is N::N in the piece.
  bool functionKind = h.size() >= 2 && (h[0] == '0' || h[0] == '1' || h[0] == '2') && h[1] == ' ';
  if (functionKind && hRest.size() >= 3 && rRest.size() == 2 * hRest.size() - 1) {
    std::string_view name = hRest.substr(3);
    if (rRest.substr(3, name.size()) == name && rRest.substr(3 + name.size(), 2) == "::" &&
        rRest.substr(5 + name.size()) == name) {
      return true;
    }
  }
  if (h.starts_with("62") && h.find('"') != std::string_view::npos) return true;
  if (sameText(hRest, rRest)) return true;
  if (hRest.find('<') == std::string_view::npos) return false;
  return sameTemplateText(hRest, rRest);
}

}  // namespace

bool sameHeaderCode(const MonitoredFile& source, size_t first, size_t end, const MonitoredFile& header, size_t at,
                    bool checkInfoLine) {
  const std::vector<DescriptionLine>& sourceLines = source.descriptionLines;
  const std::vector<DescriptionLine>& headerLines = header.descriptionLines;
  const size_t countLine = headerLines.size() - 1;
  if (checkInfoLine) {
    std::string_view sourceInfo = lineText(sourceLines[1]);
    std::string_view headerInfo = lineText(headerLines[1]);
    if (sourceInfo.empty() || headerInfo.empty() || sourceInfo[0] != headerInfo[0]) return false;
  }
  if (at >= countLine) return false;
  size_t h = at;
  size_t r = first;
  for (;;) {
    if (!sameHeaderLine(lineText(headerLines[h]), lineText(sourceLines[r]))) return false;
    ++h;
    ++r;
    if (h == countLine && r + 1 == end) return true;
    if (r == end) return true;
    if (h == countLine) return false;
  }
}

LineRecord namedLineRecord(std::string_view text) {
  if (text.size() > 2 && isDigit(text[2])) return {};
  const int kind = text[1] == '0' ? 50 : 51;
  LineRecord record;
  if (!quotedFileName(text, record.name)) return {};
  record.kind = kind;
  return record;
}

bool quotedFileName(std::string_view text, std::string_view& name) {
  size_t open = text.find('"');
  if (open == std::string_view::npos) return false;
  size_t close = text.find('"', open + 1);
  if (close == std::string_view::npos) return false;
  name = text.substr(open + 1, close - open - 1);
  return true;
}

}  // namespace qar
