#include "export/change/coverage_history.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <iterator>

#include "base/clock.h"
#include "export/change/json_tree.h"
#include "export/output/export_text.h"
#include "export/walk/export_numbers.h"

namespace qar {
namespace {

constexpr std::string_view kMeasureNames[kHistoryMeasureCount] = {"lines", "branches", "functions", "statements",
                                                                   "mcdc"};

bool toWideCount(const JsonNode* node, uint64_t& out) {
  if (node == nullptr || node->kind != JsonNode::Kind::Number) return false;
  const std::string& t = node->text;
  auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), out);
  return ec == std::errc() && end == t.data() + t.size();
}

bool readEntry(std::string_view line, HistoryEntry& entry) {
  JsonNode root;
  std::string error;
  if (!parseJson(line, root, error) || root.kind != JsonNode::Kind::Object) return false;
  const JsonNode* time = root.member("time");
  const JsonNode* label = root.member("label");
  if (!time || time->kind != JsonNode::Kind::String || !label) return false;
  entry.time = time->text;
  if (label->kind == JsonNode::Kind::String) {
    entry.label = label->text;
  } else if (label->kind != JsonNode::Kind::Null) {
    return false;
  }
  for (size_t m = 0; m < kHistoryMeasureCount; ++m) {
    const JsonNode* figure = root.member(kMeasureNames[m]);
    if (!figure || !toWideCount(figure->member("found"), entry.measures[m].found) ||
        !toWideCount(figure->member("hit"), entry.measures[m].hit) ||
        entry.measures[m].hit > entry.measures[m].found) {
      return false;
    }
  }
  return true;
}

void measure(std::string& text, std::string_view name, uint64_t found, uint64_t hit) {
  text += ", \"";
  text += name;
  text += "\": {\"found\": ";
  appendDecimal(text, found);
  text += ", \"hit\": ";
  appendDecimal(text, hit);
  text += "}";
}

}  // namespace

std::string_view historyMeasureName(HistoryMeasure measure) { return kMeasureNames[static_cast<int>(measure)]; }

HistoryEntry historyEntry(std::time_t time, const std::string* label, const RunResult& run) {
  HistoryEntry entry;
  entry.time = isoUtcText(time);
  if (label) entry.label = *label;
  const LineCoverage& c = run.lineCoverage;
  entry.measures[static_cast<int>(HistoryMeasure::Lines)] = {c.lines.found, c.lines.hit};
  entry.measures[static_cast<int>(HistoryMeasure::Branches)] = {c.branches.found, c.branches.hit};
  entry.measures[static_cast<int>(HistoryMeasure::Functions)] = {c.functions.found, c.functions.hit};
  entry.measures[static_cast<int>(HistoryMeasure::Statements)] = {run.statements.total, run.statements.hits};
  entry.measures[static_cast<int>(HistoryMeasure::Mcdc)] = {run.mcdc.conditions, run.mcdc.covered};
  return entry;
}

HistoryRead parseHistory(std::string_view text) {
  HistoryRead read;
  uint32_t number = 0;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++number;
    if (line.find_first_not_of(" \t\r") == std::string_view::npos) continue;
    HistoryEntry entry;
    if (readEntry(line, entry)) {
      read.entries.push_back(std::move(entry));
    } else {
      read.passedOver.push_back(number);
    }
  }
  return read;
}

HistoryRead readHistory(const std::string& fileName) {
  struct stat status {};
  if (::stat(fileName.c_str(), &status) != 0 && errno == ENOENT) return {};
  std::ifstream in(fileName, std::ios::binary);
  if (!in) {
    HistoryRead read;
    read.error = "cannot be read";
    return read;
  }
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    HistoryRead read;
    read.error = "cannot be read";
    return read;
  }
  return parseHistory(text);
}

std::string passedOverNotice(const std::string& fileName, const std::vector<uint32_t>& lines) {
  if (lines.empty()) return {};
  std::string text = "history " + fileName + ": ";
  if (lines.size() == 1) {
    text += "line " + std::to_string(lines[0]) + " is not a whole entry, passed over";
    return text;
  }
  text += std::to_string(lines.size()) + " lines are not whole entries, passed over (lines ";
  constexpr size_t kNamed = 10;
  for (size_t i = 0; i < lines.size() && i < kNamed; ++i) {
    if (i > 0) text += ", ";
    text += std::to_string(lines[i]);
  }
  if (lines.size() > kNamed) text += ", ...";
  text += ")";
  return text;
}

std::string historyLine(std::time_t time, const std::string* label, const RunResult& run) {
  std::string text = "{\"time\": \"";
  text += isoUtcText(time);
  text += "\", \"label\": ";
  if (label) {
    appendJsonString(text, *label);
  } else {
    text += "null";
  }
  const LineCoverage& c = run.lineCoverage;
  measure(text, "lines", c.lines.found, c.lines.hit);
  measure(text, "branches", c.branches.found, c.branches.hit);
  measure(text, "functions", c.functions.found, c.functions.hit);
  measure(text, "statements", run.statements.total, run.statements.hits);
  measure(text, "mcdc", run.mcdc.conditions, run.mcdc.covered);
  text += "}\n";
  return text;
}

bool appendHistoryLine(const std::string& fileName, std::string_view line, std::string& error) {
  const int fd = ::open(fileName.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  // A last line cut short by a killed run is ended first, so that this
  // line stays a line of its own for the readers that pass the cut one over.
  std::string text;
  struct stat status {};
  char last = '\n';
  if (::fstat(fd, &status) == 0 && status.st_size > 0 && ::pread(fd, &last, 1, status.st_size - 1) == 1 &&
      last != '\n') {
    text.push_back('\n');
  }
  text.append(line);
  // One write: with O_APPEND the line lands whole after whatever is there.
  const ssize_t written = ::write(fd, text.data(), text.size());
  const int writeErrno = errno;
  const bool closed = ::close(fd) == 0;
  if (written != static_cast<ssize_t>(text.size())) {
    error = written < 0 ? std::strerror(writeErrno) : "written only in part";
    return false;
  }
  if (!closed) {
    error = std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace qar
