#include "coverage/walk_parts.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "coverage/database.h"

namespace qar {
namespace {

// Below this many lines a walk is too short to gain from a second thread.
constexpr size_t kSplitFromLines = size_t{1} << 17;
// About this many parts: enough for both threads to stay busy to the end,
// few enough that each part's start costs nothing.
constexpr size_t kPartsPerWalk = 512;
constexpr size_t kFewestPartLines = size_t{1} << 12;

enum class Splitting { Never, Always, BySize };

Splitting splittingChoice() {
  const char* choice = std::getenv("QARPOST_WALK_PARTS");
  const std::string_view setting = choice != nullptr ? choice : "";
  if (setting == "never") return Splitting::Never;
  return setting == "always" ? Splitting::Always : Splitting::BySize;
}

}  // namespace

bool walkMayStartAt(const MonitoredFile& file) {
  for (const DescriptionLine& line : file.descriptionLines) {
    const std::string_view text = lineText(line);
    if (text.find_first_not_of(" \t") == std::string_view::npos || text.front() == '%') continue;
    return text.front() == '@';
  }
  return false;
}

namespace {

// The parts of `files`, the whole list in order with their lines.
std::vector<WalkPart> partsOf(const std::vector<KeptFile>& files, Splitting choice) {
  std::vector<WalkPart> parts;
  if (choice == Splitting::Never) return parts;
  size_t lines = 0;
  for (const KeptFile& file : files) lines += file.lines;
  if (choice == Splitting::BySize && lines < kSplitFromLines) return parts;
  const size_t partLines = choice == Splitting::Always ? 0 : std::max(lines / kPartsPerWalk, kFewestPartLines);

  const MonitoredFileIt listEnd = database().monitoredFiles.end();
  size_t inPart = 0;
  for (const KeptFile& file : files) {
    if (parts.empty() || (inPart >= partLines && walkMayStartAt(*file.file))) {
      if (!parts.empty()) parts.back().end = file.file;
      parts.push_back(WalkPart{file.file, listEnd});
      inPart = 0;
    }
    inPart += file.lines;
  }
  if (parts.size() < 2) parts.clear();
  return parts;
}

// The same for the list as it stands: the kept files, unless the list
// changed since they were kept.
std::vector<WalkPart> partsOfList(Splitting choice) {
  if (keptListGeneration() != 0) return partsOf(keptListFiles(), choice);
  std::vector<KeptFile> files;
  MonitoredFileList& list = database().monitoredFiles;
  for (auto file = list.begin(); file != list.end(); ++file) {
    files.push_back(KeptFile{file, file->descriptionLines.size()});
  }
  return partsOf(files, choice);
}

// The parts worked out for the list as kept for the reports: every report of
// a run walks the same list in the same parts.
struct KeptParts {
  uint64_t generation = 0;
  Splitting choice = Splitting::BySize;
  std::vector<WalkPart> parts;
};

KeptParts& keptParts() {
  static KeptParts kept;
  return kept;
}

}  // namespace

std::vector<WalkPart> walkParts() {
  const Splitting choice = splittingChoice();
  const uint64_t generation = keptListGeneration();
  KeptParts& kept = keptParts();
  if (generation != 0 && kept.generation == generation && kept.choice == choice) return kept.parts;
  std::vector<WalkPart> parts = partsOfList(choice);
  if (generation != 0) kept = KeptParts{generation, choice, parts};
  return parts;
}

}  // namespace qar
