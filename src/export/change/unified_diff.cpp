#include "export/change/unified_diff.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

namespace qar {
namespace {

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// The diff's lines without their line ends (LF or CRLF).
std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

struct Refusal {
  uint32_t line = 0;
  std::string reason;
};

// A name that git wrote in double quotes: C escapes and octal bytes.
// `at` is on the opening quote and ends after the closing one.
bool unquoteName(std::string_view s, size_t& at, std::string& out) {
  out.clear();
  ++at;
  while (at < s.size()) {
    char c = s[at++];
    if (c == '"') return true;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (at >= s.size()) return false;
    char e = s[at++];
    switch (e) {
      case 'a': out += '\a'; break;
      case 'b': out += '\b'; break;
      case 'f': out += '\f'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'v': out += '\v'; break;
      case '"': out += '"'; break;
      case '\\': out += '\\'; break;
      default: {
        if (e < '0' || e > '3' || at + 2 > s.size()) return false;
        int value = e - '0';
        for (int k = 0; k < 2; ++k) {
          char d = s[at++];
          if (d < '0' || d > '7') return false;
          value = value * 8 + (d - '0');
        }
        out += static_cast<char>(value);
      }
    }
  }
  return false;
}

// The name of a "---" / "+++" line: quoted, or up to the tab that comes
// before a timestamp (and that git writes after a name holding a blank).
bool headerName(std::string_view field, std::string& out) {
  if (!field.empty() && field.front() == '"') {
    size_t at = 0;
    return unquoteName(field, at, out);
  }
  out.assign(field.substr(0, field.find('\t')));
  return !out.empty();
}

// Removes the a/ and b/ prefixes when the two sides carry them ("/dev/null",
// already made empty, carries none); names written with --no-prefix stay.
void stripPrefixes(std::string& oldPath, std::string& newPath) {
  bool oldPrefixed = oldPath.empty() || startsWith(oldPath, "a/");
  bool newPrefixed = newPath.empty() || startsWith(newPath, "b/");
  if (!oldPrefixed || !newPrefixed || (oldPath.empty() && newPath.empty())) return;
  if (!oldPath.empty()) oldPath.erase(0, 2);
  if (!newPath.empty()) newPath.erase(0, 2);
}

void dropDevNull(std::string& path) {
  if (path == "/dev/null") path.clear();
}

// The two names of "diff --git OLD NEW" or "Binary files OLD and NEW differ".
// Unquoted names may hold the separator, so the split chosen is the one
// where both sides name the same file (the names that line does not settle
// come from the lines that follow it).
bool splitNamePair(std::string_view rest, std::string_view separator, std::string& oldPath,
                   std::string& newPath) {
  if (!rest.empty() && rest.front() == '"') {
    size_t at = 0;
    if (!unquoteName(rest, at, oldPath) || rest.substr(at, separator.size()) != separator) return false;
    at += separator.size();
    if (at < rest.size() && rest[at] == '"') {
      std::string second;
      if (!unquoteName(rest, at, second) || at != rest.size()) return false;
      newPath = second;
    } else {
      newPath.assign(rest.substr(at));
    }
    return !newPath.empty();
  }
  size_t quoted = rest.find(std::string(separator) + "\"");
  if (quoted != std::string_view::npos) {
    oldPath.assign(rest.substr(0, quoted));
    size_t at = quoted + separator.size();
    return unquoteName(rest, at, newPath) && at == rest.size();
  }
  for (size_t p = rest.find(separator); p != std::string_view::npos; p = rest.find(separator, p + 1)) {
    std::string a(rest.substr(0, p));
    std::string b(rest.substr(p + separator.size()));
    std::string sa = a;
    std::string sb = b;
    dropDevNull(sa);
    dropDevNull(sb);
    stripPrefixes(sa, sb);
    if (a == b || sa == sb || sa.empty() || sb.empty()) {
      oldPath = a;
      newPath = b;
      return true;
    }
  }
  return false;
}

bool readNumber(std::string_view& s, uint32_t& value) {
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || end == s.data()) return false;
  s.remove_prefix(static_cast<size_t>(end - s.data()));
  return true;
}

// "-START[,COUNT]" or "+START[,COUNT]"; a missing count is 1.
bool readRange(std::string_view& s, char sign, uint32_t& start, uint32_t& count) {
  if (s.empty() || s.front() != sign) return false;
  s.remove_prefix(1);
  if (!readNumber(s, start)) return false;
  count = 1;
  if (!s.empty() && s.front() == ',') {
    s.remove_prefix(1);
    if (!readNumber(s, count)) return false;
  }
  return true;
}

// "@@ -A[,B] +C[,D] @@[ section heading]"
bool readHunkHeader(std::string_view line, DiffHunk& hunk) {
  std::string_view s = line.substr(3);
  if (!readRange(s, '-', hunk.oldStart, hunk.oldCount)) return false;
  if (s.empty() || s.front() != ' ') return false;
  s.remove_prefix(1);
  if (!readRange(s, '+', hunk.newStart, hunk.newCount)) return false;
  return startsWith(s, " @@");
}

// The first line of a side of a hunk, and the line after its last.
uint32_t firstLine(uint32_t start, uint32_t count) { return count == 0 ? start + 1 : start; }

class DiffParser {
 public:
  explicit DiffParser(std::string_view text) : lines_(splitLines(text)) {}

  bool parse(UnifiedDiff& diff) {
    while (at_ < lines_.size()) {
      std::string_view line = lines_[at_];
      if (startsWith(line, "diff --cc ") || startsWith(line, "diff --combined ")) {
        return fail(lineNumber(), "a combined diff (of a merge) is not read: give the diff against one parent");
      }
      if (startsWith(line, "diff --git ")) {
        if (!gitFile(diff)) return false;
      } else if (startsWith(line, "--- ") && at_ + 1 < lines_.size() && startsWith(lines_[at_ + 1], "+++ ")) {
        DiffFile file;
        file.headerLine = lineNumber();
        if (!nameLines(file) || !hunks(file)) return false;
        if (file.oldPath.empty()) file.status = DiffStatus::New;
        if (file.newPath.empty()) file.status = DiffStatus::Deleted;
        diff.files.push_back(std::move(file));
      } else if (startsWith(line, "Binary files ") && line.size() > 20 &&
                 line.substr(line.size() - 7) == " differ") {
        if (!binaryLine(diff)) return false;
      } else if (startsWith(line, "@@ ")) {
        return fail(lineNumber(), "a hunk outside a file: no \"---\" and \"+++\" lines before it");
      } else {
        ++at_;  // text around the files: a commit message, a command line
      }
    }
    return true;
  }

  Refusal refusal;

 private:
  uint32_t lineNumber() const { return static_cast<uint32_t>(at_ + 1); }

  bool fail(uint32_t line, std::string reason) {
    refusal = Refusal{line, std::move(reason)};
    return false;
  }

  // "diff --git" with its extended header lines, its name lines and hunks.
  bool gitFile(UnifiedDiff& diff) {
    DiffFile file;
    file.headerLine = lineNumber();
    std::string headerOld;
    std::string headerNew;
    bool namedByHeader = splitNamePair(lines_[at_].substr(11), " ", headerOld, headerNew);
    bool isNew = false;
    bool isDeleted = false;
    bool binaryPatch = false;
    std::string renameFrom;
    std::string renameTo;
    ++at_;
    for (; at_ < lines_.size(); ++at_) {
      std::string_view line = lines_[at_];
      std::string* target = nullptr;
      std::string_view value;
      if (startsWith(line, "old mode ")) {
        file.modeChanged = true;
        file.oldMode.assign(line.substr(9));
      } else if (startsWith(line, "new mode ")) {
        file.modeChanged = true;
        file.newMode.assign(line.substr(9));
      } else if (startsWith(line, "new file mode ")) {
        isNew = true;
        file.newMode.assign(line.substr(14));
      } else if (startsWith(line, "deleted file mode ")) {
        isDeleted = true;
        file.oldMode.assign(line.substr(18));
      } else if (startsWith(line, "rename from ") || startsWith(line, "copy from ")) {
        file.status = line[0] == 'r' ? DiffStatus::Renamed : DiffStatus::Copied;
        target = &renameFrom;
        value = line.substr(line.find(" from ") + 6);
      } else if (startsWith(line, "rename to ") || startsWith(line, "copy to ")) {
        target = &renameTo;
        value = line.substr(line.find(" to ") + 4);
      } else if (startsWith(line, "rename old ") || startsWith(line, "rename new ")) {
        file.status = DiffStatus::Renamed;
        target = line[7] == 'o' ? &renameFrom : &renameTo;
        value = line.substr(11);
      } else if (startsWith(line, "Binary files ")) {
        file.binary = true;
      } else if (line == "GIT binary patch") {
        file.binary = true;
        binaryPatch = true;
      } else if (!startsWith(line, "index ") && !startsWith(line, "similarity index ") &&
                 !startsWith(line, "dissimilarity index ")) {
        break;
      }
      if (target && !headerName(value, *target)) return fail(lineNumber(), "a file name that cannot be read");
      if (binaryPatch) break;
    }
    if (binaryPatch) {
      // The encoded data runs up to the next file.
      while (at_ < lines_.size() && !startsWith(lines_[at_], "diff --git ")) ++at_;
    } else if (at_ + 1 < lines_.size() && startsWith(lines_[at_], "--- ") && startsWith(lines_[at_ + 1], "+++ ")) {
      if (!nameLines(file) || !hunks(file)) return false;
    }
    if (file.oldPath.empty() && file.newPath.empty() && !isNew && !isDeleted) {
      // No name lines (a mode change, a binary file, a pure rename): the
      // rename lines or the "diff --git" line name the file.
      if (!renameFrom.empty() && !renameTo.empty()) {
        file.oldPath = renameFrom;
        file.newPath = renameTo;
      } else if (namedByHeader) {
        file.oldPath = headerOld;
        file.newPath = headerNew;
        stripPrefixes(file.oldPath, file.newPath);
      }
    } else if ((isNew || isDeleted) && file.oldPath.empty() && file.newPath.empty() && namedByHeader) {
      // An empty file created or deleted: only the "diff --git" line names it.
      std::string oldPath = headerOld;
      std::string newPath = headerNew;
      stripPrefixes(oldPath, newPath);
      (isNew ? file.newPath : file.oldPath) = isNew ? newPath : oldPath;
    }
    if (!renameFrom.empty() && !renameTo.empty()) {
      // The rename lines name the files without prefixes, whatever the others carry.
      file.oldPath = renameFrom;
      file.newPath = renameTo;
    }
    if (isNew) {
      file.status = DiffStatus::New;
      file.oldPath.clear();
    } else if (isDeleted) {
      file.status = DiffStatus::Deleted;
      file.newPath.clear();
    }
    if (file.oldPath.empty() && file.newPath.empty()) {
      return fail(file.headerLine, "the file names of \"diff --git\" cannot be read");
    }
    diff.files.push_back(std::move(file));
    return true;
  }

  // "Binary files OLD and NEW differ" of a diff that is not git's.
  bool binaryLine(UnifiedDiff& diff) {
    std::string_view line = lines_[at_];
    DiffFile file;
    file.headerLine = lineNumber();
    file.binary = true;
    if (!splitNamePair(line.substr(13, line.size() - 13 - 7), " and ", file.oldPath, file.newPath)) {
      return fail(lineNumber(), "the file names of \"Binary files\" cannot be read");
    }
    dropDevNull(file.oldPath);
    dropDevNull(file.newPath);
    stripPrefixes(file.oldPath, file.newPath);
    if (file.oldPath.empty()) file.status = DiffStatus::New;
    if (file.newPath.empty()) file.status = DiffStatus::Deleted;
    diff.files.push_back(std::move(file));
    ++at_;
    return true;
  }

  // The "---" and "+++" lines; `at_` is on the first.
  bool nameLines(DiffFile& file) {
    std::string oldPath;
    std::string newPath;
    if (!headerName(lines_[at_].substr(4), oldPath)) return fail(lineNumber(), "a file name that cannot be read");
    ++at_;
    if (!headerName(lines_[at_].substr(4), newPath)) return fail(lineNumber(), "a file name that cannot be read");
    ++at_;
    dropDevNull(oldPath);
    dropDevNull(newPath);
    if (oldPath.empty() && newPath.empty()) return fail(lineNumber() - 1, "both sides of the file are /dev/null");
    stripPrefixes(oldPath, newPath);
    file.oldPath = std::move(oldPath);
    file.newPath = std::move(newPath);
    return true;
  }

  // The hunks after the name lines, each read to its counts.
  bool hunks(DiffFile& file) {
    while (at_ < lines_.size() && startsWith(lines_[at_], "@@ ")) {
      DiffHunk hunk;
      hunk.headerLine = lineNumber();
      if (!readHunkHeader(lines_[at_], hunk)) {
        return fail(lineNumber(), "a hunk header that is not \"@@ -START,COUNT +START,COUNT @@\"");
      }
      if (!file.hunks.empty()) {
        const DiffHunk& last = file.hunks.back();
        if (firstLine(hunk.oldStart, hunk.oldCount) < firstLine(last.oldStart, last.oldCount) + last.oldCount ||
            firstLine(hunk.newStart, hunk.newCount) < firstLine(last.newStart, last.newCount) + last.newCount) {
          return fail(lineNumber(), "a hunk that overlaps or comes before the hunk on line " +
                                        std::to_string(last.headerLine));
        }
      }
      ++at_;
      hunk.addedBegin = hunk.addedEnd = static_cast<uint32_t>(file.addedLines.size());
      hunk.removedBegin = hunk.removedEnd = static_cast<uint32_t>(file.removedLines.size());
      uint32_t oldLeft = hunk.oldCount;
      uint32_t newLeft = hunk.newCount;
      uint32_t oldLine = firstLine(hunk.oldStart, hunk.oldCount);
      uint32_t newLine = firstLine(hunk.newStart, hunk.newCount);
      while (oldLeft > 0 || newLeft > 0) {
        if (at_ >= lines_.size()) {
          return fail(lineNumber(), "the diff ends inside the hunk on line " + std::to_string(hunk.headerLine));
        }
        std::string_view line = lines_[at_];
        // An empty line is an unchanged empty line whose blank a mail or an editor took away.
        char op = line.empty() ? ' ' : line.front();
        bool fits = (op == ' ' && oldLeft > 0 && newLeft > 0) || (op == '-' && oldLeft > 0) ||
                    (op == '+' && newLeft > 0) || op == '\\';
        if (!fits) {
          return fail(lineNumber(), "a line that does not fit the counts of the hunk on line " +
                                        std::to_string(hunk.headerLine));
        }
        if (op == ' ') {
          --oldLeft;
          --newLeft;
          ++oldLine;
          ++newLine;
        } else if (op == '-') {
          --oldLeft;
          file.removedLines.push_back(oldLine++);
          ++hunk.removedEnd;
        } else if (op == '+') {
          --newLeft;
          file.addedLines.push_back(newLine++);
          ++hunk.addedEnd;
        }
        ++at_;
      }
      while (at_ < lines_.size() && startsWith(lines_[at_], "\\")) ++at_;  // "\ No newline at end of file"
      file.hunks.push_back(hunk);
      if (at_ < lines_.size()) {
        std::string_view next = lines_[at_];
        bool bodyLine = !next.empty() && (next.front() == '+' || next.front() == '-' || next.front() == ' ');
        // "--- " starts the next file of a plain diff, "-- " a mail's signature.
        if (bodyLine && !startsWith(next, "--- ") && next != "-- ") {
          return fail(lineNumber(), "the hunk on line " + std::to_string(file.hunks.back().headerLine) +
                                        " has more lines than its header counts");
        }
      }
    }
    return true;
  }

  std::vector<std::string_view> lines_;
  size_t at_ = 0;
};

}  // namespace

DiffReadResult parseUnifiedDiff(std::string_view text) {
  DiffParser parser(text);
  UnifiedDiff diff;
  DiffReadResult result;
  if (!parser.parse(diff)) {
    result.errorLine = parser.refusal.line;
    result.error = "line " + std::to_string(parser.refusal.line) + ": " + parser.refusal.reason;
    return result;
  }
  result.diff = std::move(diff);
  return result;
}

DiffReadResult readUnifiedDiffFile(const std::string& fileName) {
  std::FILE* in = fileName == "-" ? stdin : std::fopen(fileName.c_str(), "rb");
  if (in == nullptr) return DiffReadResult{std::nullopt, std::string("cannot be opened: ") + std::strerror(errno), 0};
  std::string text;
  char buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0) text.append(buffer, got);
  const bool failed = std::ferror(in) != 0;
  const int error = errno;
  if (in != stdin) std::fclose(in);
  if (failed) return DiffReadResult{std::nullopt, std::string("cannot be read: ") + std::strerror(error), 0};
  return parseUnifiedDiff(text);
}

std::vector<uint32_t> changedLines(const DiffFile& file) { return file.addedLines; }

std::optional<uint32_t> newLineOf(const DiffFile& file, uint32_t oldLine) {
  // The hunks stand in the order of their old lines (the reader refuses
  // others): only the last one starting at or before the line matters, found
  // by halving, so that mapping every item of a file of many hunks stays
  // linear in the items.
  const auto after = std::upper_bound(file.hunks.begin(), file.hunks.end(), oldLine,
                                      [](uint32_t line, const DiffHunk& hunk) {
                                        return line < firstLine(hunk.oldStart, hunk.oldCount);
                                      });
  if (after == file.hunks.begin()) return oldLine;
  const DiffHunk& hunk = *(after - 1);
  const uint32_t oldFirst = firstLine(hunk.oldStart, hunk.oldCount);
  if (oldLine >= oldFirst + hunk.oldCount) {
    // new minus old for the lines after the hunk
    const int64_t shift = static_cast<int64_t>(firstLine(hunk.newStart, hunk.newCount)) + hunk.newCount -
                          (static_cast<int64_t>(oldFirst) + hunk.oldCount);
    return static_cast<uint32_t>(static_cast<int64_t>(oldLine) + shift);
  }
  const std::span<const uint32_t> removed = file.removed(hunk);
  if (std::binary_search(removed.begin(), removed.end(), oldLine)) return std::nullopt;
  // The k-th unchanged old line of the hunk is its k-th unchanged new line.
  auto removedBefore = std::lower_bound(removed.begin(), removed.end(), oldLine) - removed.begin();
  uint32_t line = firstLine(hunk.newStart, hunk.newCount) + (oldLine - oldFirst) -
                  static_cast<uint32_t>(removedBefore);
  for (uint32_t added : file.added(hunk)) {
    if (added > line) break;
    ++line;
  }
  return line;
}

}  // namespace qar
