#pragma once
#include <string>

namespace qar {

// The version text, "9.1.4.1".
const std::string& programVersion();

// The release year shown in banners and the XML report.
inline constexpr const char* kReleaseYear = "2022";

// The two notice texts of the banner boxes and the XML report header; the
// second carries the release year.
inline constexpr const char* kRightsNotice = "Licensed material - all rights reserved";
std::string copyrightNotice();

// A banner line: the text centred between "*" and "*", 77 characters in all.
std::string framedBannerLine(const std::string& text);

}  // namespace qar
