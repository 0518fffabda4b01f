#include "coverage/database.h"

#include <algorithm>
#include <new>
#include <utility>

#include "coverage/record_reader.h"
#include "base/file_names.h"
#include "base/text.h"

namespace qar {
namespace {

// Every file of an index entry knows how many share its name.
void countNamesakes(const std::vector<MonitoredFileIt>& files) {
  for (MonitoredFileIt it : files) it->namesakes = static_cast<uint32_t>(files.size());
}

// Drops `file` from the index entry of its name; the entry goes when empty.
// A file alone under its name has no entry.
void unindex(CoverageDatabase& db, MonitoredFile& file) {
  auto entry = db.nameIndex.empty() ? db.nameIndex.end() : db.nameIndex.find(foldedFileName(file.name));
  if (entry == db.nameIndex.end()) {
    file.namesakes = 0;
    return;
  }
  std::vector<MonitoredFileIt>& files = entry->second;
  auto found = std::find_if(files.begin(), files.end(), [&](MonitoredFileIt it) { return &*it == &file; });
  if (found == files.end()) return;
  files.erase(found);
  file.namesakes = 0;
  countNamesakes(files);
  if (files.empty()) db.nameIndex.erase(entry);
}

// Names up to this length are hashed folded on the stack; longer ones (no
// data file holds one) are only looked up in the index.
constexpr size_t kHashedNameLimit = 512;
constexpr size_t kFirstNameSlots = 1024;

bool foldedNameHash(const CoverageDatabase& db, std::string_view name, uint64_t& hash) {
  if (name.size() > kHashedNameLimit) return false;
  char folded[kHashedNameLimit];
  for (size_t i = 0; i < name.size(); ++i) folded[i] = foldFileNameChar(name[i]);
  hash = std::hash<std::string_view>{}(std::string_view(folded, name.size())) & db.nameHashBits;
  return true;
}

// The slot of `hash`: the one that holds it, else the free one that ends its
// probe sequence. A hash has at most one slot.
FileNameSlot& slotOf(CoverageDatabase& db, uint64_t hash) {
  const size_t mask = db.nameSlots.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    FileNameSlot& slot = db.nameSlots[i];
    if (slot.key == 0 || (slot.key & FileNameSlot::kHashBits) == hash) return slot;
  }
}

void enterNameSlot(CoverageDatabase& db, MonitoredFileIt file, uint64_t hash) {
  FileNameSlot& slot = slotOf(db, hash);
  if (slot.key == 0) ++db.nameSlotsUsed;
  slot.key = hash | FileNameSlot::kUsed | FileNameSlot::kLive;
  slot.file = file;
}

// Enters the file just appended; the table doubles (and drops the slots of
// removed files) when it would become more than half used. The live slots
// move over as they are: a file alone under its name is found through its
// slot only.
void enterName(CoverageDatabase& db, MonitoredFileIt file, uint64_t hash) {
  if (2 * (db.nameSlotsUsed + 1) > db.nameSlots.size()) {
    std::vector<FileNameSlot> old;
    old.swap(db.nameSlots);
    size_t live = 0;
    for (const FileNameSlot& slot : old) live += (slot.key & FileNameSlot::kLive) != 0;
    size_t size = kFirstNameSlots;
    while (size < 4 * (live + 1)) size *= 2;
    db.nameSlots.assign(size, FileNameSlot{});
    db.nameSlotsUsed = 0;
    for (const FileNameSlot& slot : old) {
      if ((slot.key & FileNameSlot::kLive) != 0) enterNameSlot(db, slot.file, slot.key & FileNameSlot::kHashBits);
    }
  }
  enterNameSlot(db, file, hash);
}

void clearNameSlot(CoverageDatabase& db, const MonitoredFile& file) {
  uint64_t hash = 0;
  if (db.nameSlots.empty() || !foldedNameHash(db, file.name, hash)) return;
  FileNameSlot& slot = slotOf(db, hash);
  if ((slot.key & FileNameSlot::kLive) != 0 && &*slot.file == &file) slot.key &= ~FileNameSlot::kLive;
}

// `name` folded into one buffer for all lookups: a run looks up every data
// block.
const std::string& lookupKey(std::string_view name) {
  static std::string key;
  key.assign(name);
  for (char& c : key) c = (c == '\\') ? '/' : asciiLower(c);
  return key;
}

// Whether the index has an entry for `name`.
bool indexedName(CoverageDatabase& db, std::string_view name) {
  return !db.nameIndex.empty() && db.nameIndex.find(lookupKey(name)) != db.nameIndex.end();
}

// Enters `file` in the index under its name. Indexed files are only ever
// appended at the end and removals keep the order, so among files of one
// name the smallest sequence is the first in the list.
void indexUnderName(CoverageDatabase& db, MonitoredFileIt file) {
  std::vector<MonitoredFileIt>& namesakes = db.nameIndex[foldedFileName(file->name)];
  namesakes.push_back(file);
  countNamesakes(namesakes);
}

// The file the flat table proposes for `name`, when it is the one indexed
// file of that name (and so also the first in list order); else end().
MonitoredFileIt proposedFile(CoverageDatabase& db, std::string_view name) {
  uint64_t hash = 0;
  if (db.nameSlots.empty() || !foldedNameHash(db, name, hash)) return db.monitoredFiles.end();
  const FileNameSlot& slot = slotOf(db, hash);
  if ((slot.key & FileNameSlot::kLive) == 0) return db.monitoredFiles.end();
  MonitoredFileIt file = slot.file;
  if (file->namesakes != 1 || !sameFileName(file->name, name)) return db.monitoredFiles.end();
  return file;
}

}  // namespace

namespace detail {
DatabaseStorage theDatabase;
}  // namespace detail

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
  db.keptFiguresGeneration = 0;
  file.name.assign(name);
  file.sequence = db.nextSequence++;
  const MonitoredFileIt appended = std::prev(db.monitoredFiles.end());
  uint64_t hash = 0;
  if (!foldedNameHash(db, name, hash)) {
    indexUnderName(db, appended);
    return file;
  }
  // A name met for the first time (nearly every one) gets a slot and no
  // entry in the index: the slot alone finds it.
  const FileNameSlot* slot = db.nameSlots.empty() ? nullptr : &slotOf(db, hash);
  if (slot != nullptr && (slot->key & FileNameSlot::kLive) != 0) {
    // The slot passes to the appended file. The file it holds goes to the
    // index unless it is there (alone under its name, it would be found no
    // more), and so does the appended one: a namesake, or a name with the
    // same hash.
    if (!indexedName(db, slot->file->name)) indexUnderName(db, slot->file);
    indexUnderName(db, appended);
  } else if (indexedName(db, name)) {
    indexUnderName(db, appended);
  } else {
    file.namesakes = 1;
  }
  enterName(db, appended, hash);
  return file;
}

MonitoredFile& insertMonitoredFileBefore(MonitoredFileIt position, MonitoredFile file) {
  CoverageDatabase& db = database();
  file.sequence = db.nextSequence++;
  db.keptFiguresGeneration = 0;
  return *db.monitoredFiles.insert(position, std::move(file));
}

void removeMonitoredFile(MonitoredFileIt file) {
  CoverageDatabase& db = database();
  recordCursorFileRemoved(*file);
  clearNameSlot(db, *file);
  unindex(db, *file);
  // The line texts stay in the arena until the database is reset; the lines
  // and the counter data go with the file.
  db.monitoredFiles.erase(file);
  db.keptFiguresGeneration = 0;
}

MonitoredFileIt findMonitoredFileIt(std::string_view name) {
  CoverageDatabase& db = database();
  MonitoredFileIt proposed = proposedFile(db, name);
  if (proposed != db.monitoredFiles.end()) return proposed;
  auto entry = db.nameIndex.find(lookupKey(name));
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
  return file.descriptionLines.emplace_back(storedDescriptionLine(text));
}

namespace {

// A values reference: the index of the first value times four plus the
// width code (1, 2 or 4 values as code 1, 2, 3); 0 for no slot.
constexpr uint32_t widthOfCode(uint32_t code) { return code == 3 ? 4 : code; }

uint32_t codeFor(const LineValues& values) {
  if (values.value3 != 0 || values.value4 != 0) return 3;
  if (values.value2 != 0) return 2;
  return values.value1 != 0 ? 1 : 0;
}

}  // namespace

DescriptionLine copyDescriptionLine(const MonitoredFile& from, const DescriptionLine& line, MonitoredFile& to) {
  DescriptionLine copy{line.textRef, 0};
  setLineValues(to, copy, lineValues(from, line));
  return copy;
}

void detail::storeLineValues(MonitoredFile& file, DescriptionLine& line, const LineValues& values) {
  uint32_t code = codeFor(values);
  uint32_t have = line.valuesRef & 3;
  if (code == 0 && have == 0) return;
  std::vector<uint32_t>& store = file.lineValueStore;
  const uint32_t all[4] = {values.value1, values.value2, values.value3, values.value4};
  if (code > have) {
    // References keep two bits for the width: a file's store holds fewer
    // than 2^30 values (4 GiB), far beyond any symbol-file block.
    if (store.size() > detail::kMaxStoredValues - widthOfCode(code)) throw std::bad_alloc();
    line.valuesRef = static_cast<uint32_t>(store.size() << 2) | code;
    // Appended value by value: the preparation pass stores a slot for
    // nearly every record line, and a range insert costs several times as
    // much for one, two or four values.
    store.push_back(all[0]);
    if (code >= 2) store.push_back(all[1]);
    if (code == 3) {
      store.push_back(all[2]);
      store.push_back(all[3]);
    }
    return;
  }
  uint32_t* slot = store.data() + (line.valuesRef >> 2);
  for (uint32_t i = 0; i < widthOfCode(have); ++i) slot[i] = all[i];
}

namespace {

void countFile(const MonitoredFile& file, ListFigures& figures) {
  if (file.isHeaderFile != 0) {
    ++figures.headerFiles;
  } else {
    ++figures.sourceFiles;
    figures.sourceLines += file.sourceLineCount;
  }
}

ListFigures countListFigures() {
  ListFigures figures;
  for (const MonitoredFile& file : database().monitoredFiles) countFile(file, figures);
  return figures;
}

// Process-wide, never reset: a part list kept for a database that is gone
// can never be taken for that of a new one.
uint64_t lastListGeneration = 0;

}  // namespace

void keepListFigures() {
  CoverageDatabase& db = database();
  if (db.keptFiguresGeneration != 0) return;
  // One pass for the figures and the files: each file of a large list costs
  // a cache miss or two.
  ListFigures figures;
  db.keptFiles.clear();
  db.keptFiles.reserve(db.monitoredFiles.size());
  for (auto file = db.monitoredFiles.begin(); file != db.monitoredFiles.end(); ++file) {
    countFile(*file, figures);
    db.keptFiles.push_back(KeptFile{file, file->descriptionLines.size()});
  }
  db.keptFigures = figures;
  db.keptFiguresGeneration = ++lastListGeneration;
}

uint64_t keptListGeneration() { return database().keptFiguresGeneration; }

const std::vector<KeptFile>& keptListFiles() { return database().keptFiles; }

ListFigures listFigures() {
  const CoverageDatabase& db = database();
  return db.keptFiguresGeneration != 0 ? db.keptFigures : countListFigures();
}

bool hasMonitoredFiles() { return !database().monitoredFiles.empty(); }

}  // namespace qar
