#pragma once
// The head of a record line in the form nearly every one has: five runs of
// one to nine decimal digits, the first at the start of the line and each of
// the others after exactly one blank ("20 16 2 0 1 index <= 51"). The
// preparation pass reads it for every record line, so it is found from
// masks of the line's first 16 bytes (which bytes are digits, which are
// blanks) instead of character by character, and only the kind and the
// counter index are converted. Every load lies inside the line.
#include <cstddef>
#include <cstdint>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qar {

struct UsualRecordHead {
  uint32_t kind = 0;
  uint32_t counterIndex = 0;
  size_t numbersEnd = 0;  // just past the fifth run
};

namespace detail {

// The value of the digits line[from, to), at most nine of them.
inline uint32_t digitRunValue(const char* line, size_t from, size_t to) {
  uint32_t value = 0;
  for (size_t i = from; i < to; ++i) value = value * 10 + static_cast<uint32_t>(line[i] - '0');
  return value;
}

#if defined(__SSE2__)
struct HeadMasks {
  uint64_t digits = 0;  // bit i: byte i is a decimal digit
  uint64_t blanks = 0;  // bit i: byte i is ' '
};

inline HeadMasks headMasksOf(__m128i bytes) {
  // Shifted so that the digits are the ten smallest signed bytes.
  const __m128i shifted = _mm_add_epi8(bytes, _mm_set1_epi8(static_cast<char>(0x80 - '0')));
  const __m128i digit = _mm_cmplt_epi8(shifted, _mm_set1_epi8(static_cast<char>(0x80 + 10)));
  const __m128i blank = _mm_cmpeq_epi8(bytes, _mm_set1_epi8(' '));
  return HeadMasks{static_cast<uint32_t>(_mm_movemask_epi8(digit)), static_cast<uint32_t>(_mm_movemask_epi8(blank))};
}

// The masks of the line's first min(size, 16) bytes; false below 8 bytes.
// Lines shorter than 16 bytes take two overlapping loads of eight that end
// at the line's end; the bits they share agree.
inline bool lineHeadMasks(const char* line, size_t size, HeadMasks& masks) {
  if (size >= 16) {
    masks = headMasksOf(_mm_loadu_si128(reinterpret_cast<const __m128i*>(line)));
    return true;
  }
  if (size >= 8) {
    // The upper half of each load is zero: neither digits nor blanks.
    const HeadMasks a = headMasksOf(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(line)));
    const HeadMasks b = headMasksOf(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(line + size - 8)));
    masks.digits = a.digits | b.digits << (size - 8);
    masks.blanks = a.blanks | b.blanks << (size - 8);
    return true;
  }
  return false;
}
#endif

}  // namespace detail

// True, with `head` filled, when `line` starts in the usual form and its
// five runs end within its first 16 bytes (or at its end); the values are
// those the general reading gives. False otherwise: the caller reads the
// line the general way, which takes every usual line too.
inline bool scanUsualRecordHead(std::string_view line, UsualRecordHead& head) {
#if defined(__SSE2__)
  detail::HeadMasks masks;
  if (!detail::lineHeadMasks(line.data(), line.size(), masks)) return false;
  // The first five bytes that are not digits (bits past the bytes looked
  // at count as such) end the five runs.
  uint64_t ends = ~masks.digits;
  const auto next = [&ends] {
    const auto at = static_cast<size_t>(__builtin_ctzll(ends));
    ends &= ends - 1;
    return at;
  };
  const size_t b1 = next();
  const size_t b2 = next();
  const size_t b3 = next();
  const size_t b4 = next();
  const size_t e5 = next();
  const uint64_t separators = uint64_t{1} << b1 | uint64_t{1} << b2 | uint64_t{1} << b3 | uint64_t{1} << b4;
  const size_t looked = line.size() < 16 ? line.size() : 16;
  // The first four end at single blanks; each run has one to nine digits
  // (a run between ends at a and b has b - a - 1). The fifth may end at the
  // line's end, not at the end of the bytes looked at.
  const bool usual = (separators & ~masks.blanks) == 0 && b1 - 1 < 9 && b2 - b1 - 2 < 9 && b3 - b2 - 2 < 9 &&
                     b4 - b3 - 2 < 9 && e5 - b4 - 2 < 9 && (e5 < looked || looked == line.size());
  if (!usual) return false;
  head.kind = detail::digitRunValue(line.data(), 0, b1);
  head.counterIndex = detail::digitRunValue(line.data(), b3 + 1, b4);
  head.numbersEnd = e5;
  return true;
#else
  (void)line;
  (void)head;
  return false;
#endif
}

}  // namespace qar
