#pragma once
// Decimal numbers as the exports write millions of them: no width, no sign,
// two digits at a time.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace qar {

// Writes `value` at `at` (at most 20 characters) and returns the end.
inline char* writeDecimal(char* at, uint64_t value) {
  static constexpr char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  if (value < 10) {
    *at = static_cast<char>('0' + value);
    return at + 1;
  }
  // Most numbers are short: compared, not divided, to count their digits.
  size_t count;
  if (value < 100) {
    count = 2;
  } else if (value < 10000) {
    count = value < 1000 ? 3 : 4;
  } else {
    count = 5;
    for (uint64_t rest = value / 100000; rest != 0; rest /= 10) ++count;
  }
  char* const end = at + count;
  char* digits = end;
  while (value >= 100) {
    const uint64_t pair = value % 100;
    value /= 100;
    digits -= 2;
    digits[0] = kPairs[pair * 2];
    digits[1] = kPairs[pair * 2 + 1];
  }
  if (value >= 10) {
    digits[-2] = kPairs[value * 2];
    digits[-1] = kPairs[value * 2 + 1];
  } else {
    digits[-1] = static_cast<char>('0' + value);
  }
  return end;
}

inline void appendDecimal(std::string& out, uint64_t value) {
  char digits[20];
  out.append(digits, static_cast<size_t>(writeDecimal(digits, value) - digits));
}

// Room for a short piece at the end of `text`, written with a plain pointer
// and trimmed to what was written when the room goes: the exports write
// millions of lines of a few numbers each, and appending each piece to a
// string on its own cost more than the numbers (putting the piece together
// on the stack and appending it in one call measured slower than this).
// `room` must hold the piece (a number takes at most kDecimalRoom), and
// nothing else may touch the string while the room stands (a flush of the
// buffer comes after it).
inline constexpr size_t kDecimalRoom = 20;
class TextRoom {
 public:
  TextRoom(std::string& text, size_t room) : text_(text) {
    const size_t start = text.size();
    text.resize(start + room);
    at_ = text.data() + start;
  }
  ~TextRoom() { text_.resize(static_cast<size_t>(at_ - text_.data())); }
  TextRoom(const TextRoom&) = delete;
  TextRoom& operator=(const TextRoom&) = delete;

  TextRoom& put(std::string_view piece) {
    std::memcpy(at_, piece.data(), piece.size());
    at_ += piece.size();
    return *this;
  }
  TextRoom& put(char c) {
    *at_++ = c;
    return *this;
  }
  TextRoom& number(uint64_t value) {
    at_ = writeDecimal(at_, value);
    return *this;
  }
  // A signed number: its magnitude with a '-' before it (room: one more).
  TextRoom& signedNumber(int64_t value) {
    if (value < 0) *at_++ = '-';
    // In unsigned arithmetic, which also holds the magnitude of INT64_MIN.
    at_ = writeDecimal(at_, value < 0 ? uint64_t{0} - static_cast<uint64_t>(value) : static_cast<uint64_t>(value));
    return *this;
  }
  // A piece that `write` puts at the given place, returning its end (an
  // escaped text): the room must hold the most it can write.
  TextRoom& put(char* (*write)(char*, std::string_view), std::string_view text) {
    at_ = write(at_, text);
    return *this;
  }

 private:
  std::string& text_;
  char* at_;
};

}  // namespace qar
