#include "base/clock.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>

#include "base/quick_format.h"

namespace qar {

std::time_t currentTime() {
  if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch != nullptr && *epoch != '\0') {
    long long seconds = 0;
    const char* end = epoch + std::strlen(epoch);
    auto [ptr, ec] = std::from_chars(epoch, end, seconds);
    if (ec == std::errc() && ptr == end) return static_cast<std::time_t>(seconds);
  }
  return std::time(nullptr);
}

namespace {

// Takes the time zone TZ names, once for each value it has: with TZ unset,
// every tzset looks at the system's zone file again, which for a listing of
// 200,000 blocks cost a third of its time.
void settleTimeZone() {
  static std::mutex lock;
  static bool settled = false;
  static std::optional<std::string> settledFor;
  const char* zone = std::getenv("TZ");
  std::lock_guard<std::mutex> guard(lock);
  if (settled && (zone == nullptr ? !settledFor : settledFor && *settledFor == zone)) return;
  tzset();
  settled = true;
  settledFor = zone == nullptr ? std::nullopt : std::optional<std::string>(zone);
}

}  // namespace

void appendTimeText(std::string& out, std::time_t t) {
  static const char* const kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  settleTimeZone();
  std::tm local{};
  if (localtime_r(&t, &local) == nullptr) local = std::tm{};
  // The asctime form, "%.3s %.3s%3d %.2d:%.2d:%.2d %d", built by hand:
  // asctime itself is not thread safe and overflows on years beyond four
  // digits, and printf was most of a contents listing's time.
  const auto twoDigits = [&out](int value) {
    if (value >= 0 && value < 10) out += '0';
    appendSigned(out, value);
  };
  out.append(kWeekdays[(local.tm_wday % 7 + 7) % 7], 3);
  out += ' ';
  out.append(kMonths[(local.tm_mon % 12 + 12) % 12], 3);
  appendSigned(out, local.tm_mday, 3);
  out += ' ';
  twoDigits(local.tm_hour);
  out += ':';
  twoDigits(local.tm_min);
  out += ':';
  twoDigits(local.tm_sec);
  out += ' ';
  appendSigned(out, int64_t{1900} + local.tm_year);
}

std::string timeText(std::time_t t) {
  std::string text;
  appendTimeText(text, t);
  return text;
}

std::string currentTimeText() { return timeText(currentTime()); }

std::string isoUtcText(std::time_t t) {
  t = std::clamp(t, kFirstFourDigitYearTime, kLastFourDigitYearTime);
  std::tm parts{};
  gmtime_r(&t, &parts);
  char buffer[80];  // room for any int the compiler sees, though each part is small
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02dZ", parts.tm_year + 1900, parts.tm_mon + 1,
                parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
  return buffer;
}

}  // namespace qar
