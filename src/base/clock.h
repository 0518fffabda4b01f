#pragma once
#include <ctime>
#include <string>

namespace qar {

// The one source of "now" for every report header and file stamp. When
// SOURCE_DATE_EPOCH holds an integer number of seconds it is used instead of
// the system clock, so that reports can be reproduced byte for byte.
std::time_t currentTime();

// The 24-character local calendar text ("Sat Dec  5 16:49:20 2026") of a
// time, without a line end; TZ decides the local zone.
std::string timeText(std::time_t t);

// Appends timeText(t) to `out`: for a listing that shows a time on every line.
void appendTimeText(std::string& out, std::time_t t);

// timeText(currentTime()).
std::string currentTimeText();

// The first and last second with a four-digit year: 0000-01-01T00:00:00Z
// and 9999-12-31T23:59:59Z.
inline constexpr std::time_t kFirstFourDigitYearTime = -62167219200;
inline constexpr std::time_t kLastFourDigitYearTime = 253402300799;

// The UTC text "YYYY-MM-DDTHH:MM:SSZ" of a time. A time before or after the
// years 0 to 9999 (a SOURCE_DATE_EPOCH far off) is clamped to the first or
// last second the form can hold, so that the text keeps its form.
std::string isoUtcText(std::time_t t);

}  // namespace qar
