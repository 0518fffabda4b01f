#include "coverage/database.h"

#include <algorithm>
#include <utility>

#include "coverage/record_reader.h"
#include "util/text.h"

namespace qar {
namespace {

// Drops `file` from the index entry of its name; the entry goes when empty.
void unindex(CoverageDatabase& db, const MonitoredFile& file) {
  auto entry = db.nameIndex.find(foldedFileName(file.name));
  if (entry == db.nameIndex.end()) return;
  std::vector<MonitoredFileIt>& files = entry->second;
  auto found = std::find_if(files.begin(), files.end(), [&](MonitoredFileIt it) { return &*it == &file; });
  if (found == files.end()) return;
  files.erase(found);
  if (files.empty()) db.nameIndex.erase(entry);
}

}  // namespace

CoverageDatabase& database() {
  static CoverageDatabase db;
  return db;
}

void resetDatabase() {
  database() = CoverageDatabase{};
  resetRecordReader();
}

std::string foldedFileName(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) c = (c == '\\') ? '/' : asciiLower(c);
  return folded;
}

MonitoredFile& appendMonitoredFile(std::string_view name) {
  CoverageDatabase& db = database();
  MonitoredFile& file = db.monitoredFiles.emplace_back();
  file.name.assign(name);
  file.sequence = db.nextSequence++;
  // Indexed files are only ever appended at the end and removals keep the
  // order, so among files of one name the smallest sequence is the first in
  // the list.
  db.nameIndex[foldedFileName(name)].push_back(std::prev(db.monitoredFiles.end()));
  return file;
}

MonitoredFile& insertMonitoredFileBefore(MonitoredFileIt position, MonitoredFile file) {
  CoverageDatabase& db = database();
  file.sequence = db.nextSequence++;
  return *db.monitoredFiles.insert(position, std::move(file));
}

void removeMonitoredFile(MonitoredFileIt file) {
  CoverageDatabase& db = database();
  recordCursorFileRemoved(*file);
  unindex(db, *file);
  // The line texts stay in the arena until the database is reset; the lines
  // and the counter data go with the file.
  db.monitoredFiles.erase(file);
}

MonitoredFileIt findMonitoredFileIt(std::string_view name) {
  CoverageDatabase& db = database();
  // One key buffer for all lookups: a run looks up every data block.
  static std::string key;
  key.assign(name);
  for (char& c : key) c = (c == '\\') ? '/' : asciiLower(c);
  auto entry = db.nameIndex.find(key);
  if (entry == db.nameIndex.end() || entry->second.empty()) return db.monitoredFiles.end();
  const std::vector<MonitoredFileIt>& files = entry->second;
  return *std::min_element(files.begin(), files.end(),
                           [](MonitoredFileIt a, MonitoredFileIt b) { return a->sequence < b->sequence; });
}

MonitoredFile* findMonitoredFile(std::string_view name) {
  MonitoredFileIt found = findMonitoredFileIt(name);
  return found == database().monitoredFiles.end() ? nullptr : &*found;
}

DescriptionLine& appendDescriptionLine(MonitoredFile& file, std::string_view text) {
  DescriptionLine& line = file.descriptionLines.emplace_back();
  line.text = database().lineTexts.store(text);
  return line;
}

uint32_t sourceFileCount() {
  uint32_t count = 0;
  for (const MonitoredFile& file : database().monitoredFiles) {
    if (file.isHeaderFile == 0) ++count;
  }
  return count;
}

uint32_t sourceLineTotal() {
  uint32_t total = 0;
  for (const MonitoredFile& file : database().monitoredFiles) {
    if (file.isHeaderFile == 0) total += file.sourceLineCount;
  }
  return total;
}

bool hasMonitoredFiles() { return !database().monitoredFiles.empty(); }

}  // namespace qar
