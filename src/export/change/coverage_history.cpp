#include "export/change/coverage_history.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/clock.h"
#include "export/output/export_text.h"
#include "export/walk/export_numbers.h"

namespace qar {
namespace {

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
