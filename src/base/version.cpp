#include "base/version.h"

#include "base/text.h"

namespace qar {

// Kept in the binary where outside tools look for version, build date and
// build time; `used` stops the linker from dropping it.
[[gnu::used]] extern const char kVersionMarker[] = "$VERSIONINFO$9.1.4.1$Apr  8 2022$14:17:47$$";

const std::string& programVersion() {
  static const std::string version = formatText("%d.%d.%d.%d", 9, 1, 4, 1);
  return version;
}

std::string copyrightNotice() { return formatText("Copyright (c) Halvorin Tarvo %4s", kReleaseYear); }

std::string framedBannerLine(const std::string& text) {
  constexpr size_t kInner = 75;
  size_t left = text.size() < kInner ? (kInner - text.size()) / 2 : 0;
  size_t right = text.size() < kInner ? kInner - text.size() - left : 0;
  std::string line;
  line.reserve(kInner + 2);
  line.push_back('*');
  line.append(left, ' ');
  line.append(text);
  line.append(right, ' ');
  line.push_back('*');
  return line;
}

}  // namespace qar
