#pragma once
// The run's CoverageDatabase: the MonitoredFiles in description order, the
// lists of input files read, and a name index for merging.
#include <string_view>
#include <unordered_map>
#include <vector>

#include "coverage/model.h"
#include "base/text_arena.h"

namespace qar {

// A slot of the flat name table: the hash of a folded name (with the marks
// below) and the file last entered under it.
struct FileNameSlot {
  static constexpr uint64_t kUsed = uint64_t{1} << 63;  // not free: probing goes on past it
  static constexpr uint64_t kLive = uint64_t{1} << 62;  // `file` is in the list
  static constexpr uint64_t kHashBits = kLive - 1;
  uint64_t key = 0;
  MonitoredFileIt file{};
};

// A file of the list as kept for the reports, with its number of lines: the
// reports' walks are split into parts by these, without a pass over the list.
struct KeptFile {
  MonitoredFileIt file;
  size_t lines = 0;
};

// Figures of the file list that the reports' summaries give.
struct ListFigures {
  uint32_t sourceFiles = 0;
  uint32_t headerFiles = 0;
  uint32_t sourceLines = 0;  // the source line counts of the source files
};

struct CoverageDatabase {
  MonitoredFileList monitoredFiles;
  std::vector<InputFileEntry> symbolFilesRead;
  std::vector<InputFileEntry> dataFilesRead;
  std::vector<DataBlockSummary> dataBlockSummaries;  // contents listing only
  bool countersPrepared = false;
  // Set once the lines no longer change (after the preparation pass, header
  // extraction and -nf): the record reader may then rewrite the numbers of
  // a record line it has parsed into their parsed form (record_reader.cpp),
  // which only it reads from then on.
  bool recordTextsCompactable = false;
  TextArena lineTexts;  // texts of every DescriptionLine
  // Folded name (ASCII lower case, backslash as "/") -> files of that name
  // that were appended, in appending order. A name that only one appended
  // file has is found through the flat table alone and has no entry; the
  // others (namesakes, names that share a hash, names too long to hash)
  // have all their files here.
  std::unordered_map<std::string, std::vector<MonitoredFileIt>> nameIndex;
  uint64_t nextSequence = 0;
  // A flat table of the indexed files by the hash of their folded names,
  // probed before the index: every data block is looked up, and the
  // index's node chains cost a cache miss at each step. It only proposes a
  // file; a lookup takes it when it is the one file of its name.
  std::vector<FileNameSlot> nameSlots;  // a power of two; at most half used
  size_t nameSlotsUsed = 0;
  // The bits of a name's hash the table keeps; tests keep a few, so that
  // names meet under one hash.
  uint64_t nameHashBits = FileNameSlot::kHashBits;
  // The list's figures as kept for the reports (keepListFigures); the
  // generation is 0 while none are kept, and set back to 0 by every change
  // of the list.
  ListFigures keptFigures;
  uint64_t keptFiguresGeneration = 0;
  std::vector<KeptFile> keptFiles;  // the list as kept, in its order
};

namespace detail {
// A file's store holds fewer values than this: references keep two bits for
// the width.
inline constexpr size_t kMaxStoredValues = size_t{1} << 30;

// The database is never destroyed: the process ends right after the run,
// and freeing a large database's files one by one at the exit cost a run
// 1 to 2 % of its time. A union member is not destroyed with its union.
union DatabaseStorage {
  CoverageDatabase database;
  DatabaseStorage() : database() {}
  ~DatabaseStorage() {}
};

// Defined in database.cpp; reached through database(), which every line
// access calls, so it is inline and without a guard.
extern DatabaseStorage theDatabase;

// setLineValues for a line that has a slot or gets one.
void storeLineValues(MonitoredFile& file, DescriptionLine& line, const LineValues& values);
}  // namespace detail

// The run's database (process-wide).
inline CoverageDatabase& database() { return detail::theDatabase.database; }

// Empties the database (tests, and a fresh run in the same process).
void resetDatabase();

// The key under which names that sameFileName calls equal meet.
std::string foldedFileName(std::string_view name);

// Appends a new, empty MonitoredFile named `name` at the end of the list and
// enters it in the name index.
MonitoredFile& appendMonitoredFile(std::string_view name);

// Inserts a MonitoredFile before `position` (header extraction); it is not
// entered in the name index, which serves the loading only.
MonitoredFile& insertMonitoredFileBefore(MonitoredFileIt position, MonitoredFile file);

// Removes `file` from the list (and the index), keeping the others' order,
// and frees it with its lines' slots and its counter data.
void removeMonitoredFile(MonitoredFileIt file);

// The first MonitoredFile in list order whose name sameFileName calls equal to
// `name` among those appended by loading, or nullptr.
MonitoredFile* findMonitoredFile(std::string_view name);

// The same as an iterator into monitoredFiles; end() when there is none.
MonitoredFileIt findMonitoredFileIt(std::string_view name);

// Stores a line's text in the database's arena and appends it to `file`.
DescriptionLine& appendDescriptionLine(MonitoredFile& file, std::string_view text);

// A line with `text` stored and zero values, not yet in any file.
inline DescriptionLine storedDescriptionLine(std::string_view text) {
  return DescriptionLine{database().lineTexts.store(text), 0};
}

inline std::string_view lineText(const DescriptionLine& line) { return database().lineTexts.view(line.textRef); }

// The values of `line`, one of the lines of `file`. Inline: the walks and
// header extraction read them for nearly every line.
inline LineValues lineValues(const MonitoredFile& file, const DescriptionLine& line) {
  LineValues values;
  if (line.valuesRef == 0) return values;
  const uint32_t* slot = file.lineValueStore.data() + (line.valuesRef >> 2);
  switch (line.valuesRef & 3) {
    case 3:
      values.value4 = slot[3];
      values.value3 = slot[2];
      [[fallthrough]];
    case 2:
      values.value2 = slot[1];
      [[fallthrough]];
    default:
      values.value1 = slot[0];
  }
  return values;
}

// Lines whose values are all zero keep no slot; a slot in the file's value
// store holds 1, 2 or 4 values, as many as the last non-zero one needs, and
// is overwritten in place when the new values fit.
inline void setLineValues(MonitoredFile& file, DescriptionLine& line, const LineValues& values) {
  if (const uint32_t have = line.valuesRef & 3; have != 0) {
    // Header extraction adds into slots that nearly always fit the sums:
    // overwritten in place, the whole slot.
    const bool fits = have == 3 || (values.value3 == 0 && values.value4 == 0 && (have == 2 || values.value2 == 0));
    if (fits) {
      uint32_t* slot = file.lineValueStore.data() + (line.valuesRef >> 2);
      slot[0] = values.value1;
      if (have >= 2) slot[1] = values.value2;
      if (have == 3) {
        slot[2] = values.value3;
        slot[3] = values.value4;
      }
      return;
    }
  } else {
    // Many record lines never ran: nothing to store, without a call.
    if (values == LineValues{}) return;
    // The preparation pass gives nearly every other line its first slot of
    // one or two values, with room left in the store: appended here.
    std::vector<uint32_t>& store = file.lineValueStore;
    if (values.value3 == 0 && values.value4 == 0 && store.capacity() - store.size() >= 2 &&
        store.size() <= detail::kMaxStoredValues - 2) {
      const uint32_t code = values.value2 != 0 ? 2 : 1;
      line.valuesRef = static_cast<uint32_t>(store.size() << 2) | code;
      store.push_back(values.value1);
      if (code == 2) store.push_back(values.value2);
      return;
    }
  }
  detail::storeLineValues(file, line, values);
}

// `line` of `from` with its values in a slot of `to`, to be added to `to`.
DescriptionLine copyDescriptionLine(const MonitoredFile& from, const DescriptionLine& line, MonitoredFile& to);

// Works the list's figures out once for the reports that follow, when the
// database is ready for them. Each figure, and the parts of a report's walk
// (walk_parts.h), is otherwise a pass over every file, several per report,
// where every file costs a cache miss or two on a large database. They stay
// kept until the list changes (a file appended, inserted or removed); the
// lines of the files must not change meanwhile, which holds once the
// preparation pass and header extraction are done.
void keepListFigures();
// The generation of the figures kept: 0 while none are, else a number that
// no other keeping in the process has had.
uint64_t keptListGeneration();
// The files of the list as kept, in order; only while keptListGeneration()
// is not 0.
const std::vector<KeptFile>& keptListFiles();

// Whole-database queries used by the reports.
ListFigures listFigures();
inline uint32_t sourceFileCount() { return listFigures().sourceFiles; }
inline uint32_t headerFileCount() { return listFigures().headerFiles; }
inline uint32_t sourceLineTotal() { return listFigures().sourceLines; }
bool hasMonitoredFiles();

}  // namespace qar
