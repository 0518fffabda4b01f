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

// timeText(currentTime()).
std::string currentTimeText();

}  // namespace qar
