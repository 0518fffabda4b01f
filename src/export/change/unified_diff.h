#pragma once
// A unified diff, read from what `git diff` writes (with or without the a/
// and b/ prefixes, renames, copies, new and deleted files, mode changes,
// binary files, quoted names) or what `diff -u` writes. Every file keeps its
// hunks with their added new-side lines and removed old-side lines: enough to
// know which lines a change touches, and where an unchanged old line went.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qar {

enum class DiffStatus : uint8_t {
  Modified,  // the same path on both sides (its content or only its mode changed)
  New,       // no old side
  Deleted,   // no new side
  Renamed,   // a new path for the old file, possibly with edits
  Copied,    // a new path copied from the old one, possibly with edits
};

struct DiffHunk {
  uint32_t oldStart = 0;  // as the hunk header writes them: with a count of 0,
  uint32_t oldCount = 0;  // the start is the line before the hunk
  uint32_t newStart = 0;
  uint32_t newCount = 0;
  // The hunk's added and removed lines, as ranges of its file's lists: one
  // allocation per file rather than two per hunk (a diff of many one-line
  // hunks is common).
  uint32_t addedBegin = 0;
  uint32_t addedEnd = 0;
  uint32_t removedBegin = 0;
  uint32_t removedEnd = 0;
  uint32_t headerLine = 0;  // the diff's own line of the "@@" header
};

struct DiffFile {
  std::string oldPath;  // without the "a/" prefix; empty for a new file
  std::string newPath;  // without the "b/" prefix; empty for a deleted file
  DiffStatus status = DiffStatus::Modified;
  bool binary = false;       // "Binary files ... differ" or a binary patch: no hunks
  bool modeChanged = false;  // "old mode" / "new mode"
  std::string oldMode;
  std::string newMode;
  std::vector<DiffHunk> hunks;  // in order, not overlapping
  std::vector<uint32_t> addedLines;    // new-side numbers of every hunk, ascending
  std::vector<uint32_t> removedLines;  // old-side numbers of every hunk, ascending
  uint32_t headerLine = 0;      // the diff's own line where the file starts

  // The path that names the file: the new one, or the old one for a deleted file.
  const std::string& path() const { return newPath.empty() ? oldPath : newPath; }
  // Only the mode changed: no content change, nothing to test.
  std::span<const uint32_t> added(const DiffHunk& hunk) const {
    return std::span<const uint32_t>(addedLines).subspan(hunk.addedBegin, hunk.addedEnd - hunk.addedBegin);
  }
  std::span<const uint32_t> removed(const DiffHunk& hunk) const {
    return std::span<const uint32_t>(removedLines).subspan(hunk.removedBegin, hunk.removedEnd - hunk.removedBegin);
  }
  bool modeOnly() const { return modeChanged && !binary && hunks.empty() && status == DiffStatus::Modified; }
};

struct UnifiedDiff {
  std::vector<DiffFile> files;
};

struct DiffReadResult {
  std::optional<UnifiedDiff> diff;
  std::string error;       // why the diff was refused, when it was
  uint32_t errorLine = 0;  // the diff's line (from 1) the refusal names; 0: none
};

// Reads a diff's text. Lines that belong to no file (a commit message, a
// "diff -r" command line, "Only in ...") are passed over; a file's hunks are
// checked against their counts.
DiffReadResult parseUnifiedDiff(std::string_view text);

// Reads a diff file; "-" reads standard input.
DiffReadResult readUnifiedDiffFile(const std::string& fileName);

// The changed lines of a file: the new-side numbers of its added lines, ascending.
std::vector<uint32_t> changedLines(const DiffFile& file);

// Where an old-side line is on the new side: nullopt when the change removed it.
std::optional<uint32_t> newLineOf(const DiffFile& file, uint32_t oldLine);

}  // namespace qar
