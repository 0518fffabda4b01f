#include "selection/header_extraction.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <stop_token>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "coverage/database.h"
#include "coverage/preparation_pipeline.h"
#include "coverage/record_reader.h"
#include "base/deferred_errors.h"
#include "base/posterr.h"
#include "base/file_names.h"
#include "selection/header_file_index.h"
#include "selection/header_lines.h"

namespace qar {
namespace {

constexpr std::string_view kHeaderCountLine = "%0,0,0,0,0,0";
constexpr uint32_t kNoPiece = UINT32_MAX;
// Index of the first line after the name line and the info line.
constexpr size_t kFirstRecordLine = 2;

bool isCountLine(std::string_view text) { return !text.empty() && text[0] == '%'; }
bool isIncludeLine(std::string_view text) { return text.starts_with("#i"); }

uint32_t addSaturating(uint32_t a, uint32_t b) {
  uint32_t sum = a + b;
  return sum < a ? UINT32_MAX : sum;
}

// Adds a piece line's values into the header line paired with it.
void mergeLineValues(MonitoredFile& header, DescriptionLine& into, const MonitoredFile& source,
                     const DescriptionLine& from) {
  // A line without values adds nothing, unless a time maximum the header
  // line holds is below zero (merging then raises it to zero).
  if (from.valuesRef == 0 && (into.valuesRef & 3) != 3) return;
  const LineValues add = lineValues(source, from);
  LineValues sum = lineValues(header, into);
  sum.value1 = addSaturating(sum.value1, add.value1);
  if (!lineText(into).starts_with("0 ")) {
    sum.value2 = addSaturating(sum.value2, add.value2);
  } else {
    sum.value3 += add.value3;  // time totals wrap around
    if (static_cast<int32_t>(add.value4) > static_cast<int32_t>(sum.value4)) sum.value4 = add.value4;
  }
  setLineValues(header, into, sum);
}

// Case-insensitive hashing and equality of names, "/" equal to backslash.
struct FoldedNameHash {
  size_t operator()(std::string_view name) const noexcept {
    uint64_t hash = 14695981039346656037ull;
    for (char c : name) {
      hash ^= static_cast<unsigned char>(foldFileNameChar(c));
      hash *= 1099511628211ull;
    }
    return static_cast<size_t>(hash);
  }
};
struct FoldedNameEqual {
  bool operator()(std::string_view a, std::string_view b) const { return sameFileName(a, b); }
};

template <typename Value>
using FinalComponentMap = std::unordered_map<std::string_view, Value, FoldedNameHash, FoldedNameEqual>;

struct PieceGroup;

// A header piece of the source: its entry record, its end line (the next
// entry record or the closing count line) and the lines between. Cutting a
// piece leaves its entry record followed by its end line, which is no piece.
struct Piece {
  size_t entry = 0;
  size_t end = 0;
  std::string_view name;  // as written in the entry record
  PieceGroup* group = nullptr;
  uint32_t nextInGroup = kNoPiece;
  bool taken = false;  // cut out of the source
};

// The source's pieces and include names that share a final name component;
// only these can name the same header.
struct PieceGroup {
  std::vector<std::string_view> included;
  uint32_t last = kNoPiece;
};

// A notice of header extraction kept back while the preparation pass may
// still fail: the pass reports its error before any notice of extraction.
struct HeldNotice {
  std::string headerName;
  std::string sourceName;
};

// What the second thread found for a piece of a source ahead of the run's
// thread: the header its name finds and whether the piece matches that
// header from its start (the test of a header's first piece in a source).
struct PieceVerdict {
  size_t entry = 0;
  const MonitoredFile* header = nullptr;
  bool matches = false;
};

// The working state for one source; the vectors are reused from source to
// source, the groups (which may grow large for one source) are not.
struct SourceWork {
  std::vector<Piece> pieces;
  FinalComponentMap<PieceGroup> groups;
  std::vector<DescriptionLine> newIncludes;
  std::string textBuffer;
  std::vector<HeldNotice>* heldNotices = nullptr;  // notices issued at once when none
  const std::vector<PieceVerdict>* verdicts = nullptr;  // of this source, if found ahead
};

// The header files by name, for the run's thread, which enters them, and
// the second thread, which looks ahead.
struct SharedHeaders {
  std::mutex lock;
  HeaderFileIndex index;

  MonitoredFile* find(std::string_view name) {
    std::lock_guard<std::mutex> held(lock);
    return findHeaderFile(index, name);
  }
  void add(MonitoredFile& file) {
    std::lock_guard<std::mutex> held(lock);
    addHeaderFile(index, file);
  }
};

void addPiece(SourceWork& work, size_t entry, size_t end, std::string_view name) {
  PieceGroup& group = work.groups[headerPathFinalComponent(name)];
  uint32_t index = static_cast<uint32_t>(work.pieces.size());
  work.pieces.push_back(Piece{entry, end, name, &group});
  if (group.last != kNoPiece) work.pieces[group.last].nextInGroup = index;
  group.last = index;
}

// Finds every piece of the source in one pass. An entry record whose
// stretch meets a kind 51 record naming the source opens no piece, and
// neither does an entry record directly followed by its end line.
void findPieces(const MonitoredFile& source, SourceWork& work) {
  const std::vector<DescriptionLine>& lines = source.descriptionLines;
  bool open = false;
  bool cancelled = false;
  size_t entry = 0;
  std::string_view name;
  auto close = [&](size_t end) {
    if (open && !cancelled && end > entry + 1) addPiece(work, entry, end, name);
    open = false;
  };
  size_t i = 1;
  for (; i < lines.size(); ++i) {
    std::string_view text = lineText(lines[i]);
    if (isCountLine(text)) break;
    std::string_view included;
    if (isIncludeLine(text) && quotedFileName(text, included)) {
      work.groups[headerPathFinalComponent(included)].included.push_back(included);
      continue;
    }
    LineRecord record = lineRecordOf(text);
    if (!record) continue;
    bool namesSource = sameHeaderPath(record.name, source.name);
    if (record.kind == 51) {
      if (open && namesSource) cancelled = true;
      continue;
    }
    close(i);
    if (!namesSource) {
      open = true;
      cancelled = false;
      entry = i;
      name = record.name;
    }
  }
  close(i);
}

bool isIncluded(const Piece& piece) {
  for (std::string_view included : piece.group->included) {
    if (sameHeaderPath(included, piece.name)) return true;
  }
  return false;
}

void addInclude(SourceWork& work, const Piece& piece) {
  piece.group->included.push_back(piece.name);
  work.textBuffer.assign("#include \"").append(piece.name).append("\"");
  work.newIncludes.push_back(storedDescriptionLine(work.textBuffer));
}

void issueHeaderDiffers(std::string_view headerName, std::string_view sourceName) {
  setNoticeArguments(headerName, sourceName);
  issueNotice(kNoticeHeaderDiffers);
}

void noticeHeaderDiffers(SourceWork& work, std::string_view headerName, const MonitoredFile& source) {
  if (work.heldNotices != nullptr) {
    work.heldNotices->push_back(HeldNotice{std::string(headerName), source.name});
  } else {
    issueHeaderDiffers(headerName, source.name);
  }
}

// Compares a piece with the header's lines from `at` on (see sameHeaderCode).
bool pieceMatchesHeader(const MonitoredFile& source, const Piece& piece, const MonitoredFile& header, size_t at,
                        bool checkInfoLine) {
  return sameHeaderCode(source, piece.entry + 1, piece.end, header, at, checkInfoLine);
}

// Adds the piece's values into the header's lines from `at` on; returns the
// header line after the last one paired.
size_t mergePiece(const MonitoredFile& source, const Piece& piece, MonitoredFile& header, size_t at) {
  const std::vector<DescriptionLine>& sourceLines = source.descriptionLines;
  std::vector<DescriptionLine>& headerLines = header.descriptionLines;
  const size_t countLine = headerLines.size() - 1;
  for (size_t r = piece.entry + 1; r < piece.end && at < countLine; ++r, ++at) {
    mergeLineValues(header, headerLines[at], source, sourceLines[r]);
  }
  return at;
}

// Whether the piece matches the header from its start: as found ahead when
// it was, for the same header.
bool firstPieceMatches(const MonitoredFile& source, const SourceWork& work, const Piece& piece,
                       const MonitoredFile& header) {
  if (work.verdicts != nullptr) {
    for (const PieceVerdict& verdict : *work.verdicts) {
      if (verdict.entry == piece.entry && verdict.header == &header) return verdict.matches;
    }
  }
  return pieceMatchesHeader(source, piece, header, kFirstRecordLine, true);
}

// The first piece of a header already extracted: merged when it matches,
// then the later pieces of the same header in this source, until one differs.
void mergeIntoHeader(const MonitoredFile& source, SourceWork& work, uint32_t first, MonitoredFile& header) {
  Piece& piece = work.pieces[first];
  size_t at = kFirstRecordLine;
  if (!firstPieceMatches(source, work, piece, header)) {
    noticeHeaderDiffers(work, piece.name, source);
    return;
  }
  at = mergePiece(source, piece, header, at);
  piece.taken = true;
  addInclude(work, piece);
  size_t from = piece.end + 1;
  for (uint32_t q = piece.nextInGroup; q != kNoPiece; q = work.pieces[q].nextInGroup) {
    Piece& further = work.pieces[q];
    if (further.taken || further.entry < from || !sameHeaderPath(further.name, piece.name)) continue;
    if (!pieceMatchesHeader(source, further, header, at, false)) {
      noticeHeaderDiffers(work, piece.name, source);
      return;
    }
    at = mergePiece(source, further, header, at);
    further.taken = true;
    from = further.end + 1;
  }
}

void appendPieceLines(const MonitoredFile& source, const Piece& piece, MonitoredFile& header) {
  const std::vector<DescriptionLine>& sourceLines = source.descriptionLines;
  // Own value slots: later pieces of other sources are merged into them.
  for (size_t i = piece.entry + 1; i < piece.end; ++i) {
    header.descriptionLines.push_back(copyDescriptionLine(source, sourceLines[i], header));
  }
}

// The first piece of a header not seen before becomes a new header
// MonitoredFile before the source; every later piece of it in this source is
// appended to that file's description.
void createHeader(MonitoredFileIt sourceIt, SourceWork& work, uint32_t first, SharedHeaders& headers) {
  const MonitoredFile& source = *sourceIt;
  Piece& piece = work.pieces[first];
  MonitoredFile header;
  header.name.assign(piece.name);
  header.isHeaderFile = 1;
  header.instrumentationTime = source.instrumentationTime;
  header.fingerprint = source.fingerprint;
  header.rwrCount = source.rwrCount;
  header.updCount = source.updCount;
  work.textBuffer.assign("@").append(piece.name);
  appendDescriptionLine(header, work.textBuffer);
  header.descriptionLines.push_back(DescriptionLine{source.descriptionLines[1].textRef, 0});
  appendPieceLines(source, piece, header);
  piece.taken = true;

  size_t from = piece.end;
  for (uint32_t q = piece.nextInGroup; q != kNoPiece; q = work.pieces[q].nextInGroup) {
    Piece& further = work.pieces[q];
    if (further.taken || further.entry < from || !sameHeaderPath(further.name, piece.name)) continue;
    appendPieceLines(source, further, header);
    further.taken = true;
    from = further.end + 1;
  }
  appendDescriptionLine(header, kHeaderCountLine);
  // Grown line by line, its tables keep up to twice the room they use.
  header.descriptionLines.shrink_to_fit();
  header.lineValueStore.shrink_to_fit();

  MonitoredFile& inserted = insertMonitoredFileBefore(sourceIt, std::move(header));
  headers.add(inserted);
  addInclude(work, piece);
}

// Writes the source's lines anew: the new include lines after the info line
// and the include lines already there, and without the lines of taken pieces.
void rebuildSource(MonitoredFile& source, const SourceWork& work) {
  if (work.newIncludes.empty()) return;
  const std::vector<DescriptionLine>& lines = source.descriptionLines;
  size_t head = kFirstRecordLine;
  while (head < lines.size() && isIncludeLine(lineText(lines[head]))) ++head;

  // The pieces follow each other in line order without overlapping: the
  // lines between the taken ones stay, in runs [from, cutFrom), and so do
  // the lines after the last of them.
  const auto forEachRun = [&work, head](const auto& run) {
    size_t from = head;
    for (const Piece& piece : work.pieces) {
      if (!piece.taken) continue;
      const size_t cutFrom = std::max(piece.entry + 1, from);
      if (piece.end <= cutFrom) continue;
      run(from, cutFrom);
      from = piece.end;
    }
    return from;
  };
  // Room for exactly the lines that stay: the sources' line tables are the
  // most of a large run's memory beside the texts, and the pieces taken out
  // are a large share of their lines.
  size_t inRuns = 0;
  const size_t tail = forEachRun([&inRuns](size_t from, size_t cutFrom) { inRuns += cutFrom - from; });
  std::vector<DescriptionLine> rebuilt;
  rebuilt.reserve(head + work.newIncludes.size() + inRuns + (lines.size() - tail));
  rebuilt.insert(rebuilt.end(), lines.begin(), lines.begin() + head);
  rebuilt.insert(rebuilt.end(), work.newIncludes.begin(), work.newIncludes.end());
  const size_t from = forEachRun([&rebuilt, &lines](size_t runFrom, size_t cutFrom) {
    rebuilt.insert(rebuilt.end(), lines.begin() + static_cast<ptrdiff_t>(runFrom),
                   lines.begin() + static_cast<ptrdiff_t>(cutFrom));
  });
  rebuilt.insert(rebuilt.end(), lines.begin() + static_cast<ptrdiff_t>(from), lines.end());
  source.descriptionLines = std::move(rebuilt);
}

// Finds the pieces of `source` into `work`, which starts afresh.
void startSource(const MonitoredFile& source, SourceWork& work) {
  work.pieces.clear();
  FinalComponentMap<PieceGroup>().swap(work.groups);
  work.newIncludes.clear();
  findPieces(source, work);
}

void extractFromSource(MonitoredFileIt sourceIt, SourceWork& work, SharedHeaders& headers) {
  MonitoredFile& source = *sourceIt;
  if (source.descriptionLines.size() <= kFirstRecordLine) return;
  startSource(source, work);
  for (uint32_t p = 0; p < work.pieces.size(); ++p) {
    const Piece& piece = work.pieces[p];
    if (piece.taken || isIncluded(piece)) continue;
    if (MonitoredFile* header = headers.find(piece.name)) {
      mergeIntoHeader(source, work, p, *header);
    } else {
      createHeader(sourceIt, work, p, headers);
    }
  }
  rebuildSource(source, work);
}

// Of a run of line records only the last stays; a record naming the source
// itself stays only when it returns from a header entered before it.
void cleanUpLineRecords(MonitoredFile& source) {
  std::vector<DescriptionLine>& lines = source.descriptionLines;
  size_t kept = 0;
  uint32_t depth = 0;
  bool pastCountLine = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    bool remove = false;
    LineRecord record;
    if (!pastCountLine && isCountLine(lineText(lines[i]))) {
      pastCountLine = true;
    } else if (!pastCountLine && (record = lineRecordOf(lineText(lines[i])))) {
      if (i + 1 < lines.size() && lineRecordOf(lineText(lines[i + 1]))) {
        remove = true;
      } else if (!sameHeaderPath(record.name, source.name)) {
        ++depth;
      } else if (depth == 0) {
        remove = true;
      } else {
        depth = 0;
      }
    }
    if (!remove) lines[kept++] = lines[i];
  }
  lines.resize(kept);
  // A source whose line records were many gives their room back.
  if (lines.capacity() - kept > kept / 8) lines.shrink_to_fit();
}

// The second thread's part in extraction, once the preparation pass has no
// file left for it: for the sources ahead of the run's thread it finds the
// pieces and compares each with the header its name finds, where the run's
// thread would compare them again. Only the comparison of texts is done
// ahead: which header a name finds never changes once found (a header
// entered later follows it in the list), and neither do the texts compared;
// everything else, in list order, stays with the run's thread.
//
// QARPOST_PREPARATION_ALONGSIDE=ahead (for the tests) has every source
// compared ahead: the run's thread waits for each.
class LookAhead {
 public:
  explicit LookAhead(SharedHeaders& headers) : headers_(headers) {
    const char* choice = std::getenv("QARPOST_PREPARATION_ALONGSIDE");
    everySource_ = choice != nullptr && std::string_view(choice) == "ahead";
  }

  // The run's thread, once the pipeline that runs the second thread is
  // made: the files it prepares, which extraction takes in turn.
  void attach(const std::vector<MonitoredFileIt>& files) {
    files_ = &files;
    claims_ = std::make_unique<std::atomic<uint8_t>[]>(files.size());
    verdicts_.resize(files.size());
    attached_.store(true, std::memory_order_release);
    attached_.notify_all();
  }

  // The second thread: until the run's thread ends extraction or a stop is
  // requested. A source is taken by whichever thread comes to it first.
  void run(const std::stop_token& stop) {
    attached_.wait(false, std::memory_order_acquire);
    compareAhead(stop);
    // Sources left free are the run's thread's, also where it waits for all.
    for (size_t i = 0; i < files_->size(); ++i) {
      uint8_t free = kFree;
      if (claims_[i].compare_exchange_strong(free, kCompared, std::memory_order_release)) claims_[i].notify_all();
    }
  }

  // The run's thread, before it extracts files[i]: what was found ahead of
  // it, waiting for a source being compared; nullptr when none.
  const std::vector<PieceVerdict>* take(size_t i) {
    runsAt_.store(i, std::memory_order_relaxed);
    uint8_t claim = kFree;
    if (everySource_) {
      while ((claim = claims_[i].load(std::memory_order_acquire)) != kCompared) claims_[i].wait(claim);
      return &verdicts_[i];
    }
    if (claims_[i].compare_exchange_strong(claim, kTaken, std::memory_order_acquire)) return nullptr;
    if (claim == kComparing) claims_[i].wait(kComparing, std::memory_order_acquire);
    return &verdicts_[i];
  }

  // The run's thread is done with extraction (or stopped): the second
  // thread leaves off.
  void end() { ended_.store(true, std::memory_order_relaxed); }

 private:
  // Sources this far ahead of the run's thread, so that it seldom comes to
  // one while it is being compared.
  static constexpr size_t kLead = 8;
  static constexpr uint8_t kFree = 0;
  static constexpr uint8_t kComparing = 1;
  static constexpr uint8_t kCompared = 2;
  static constexpr uint8_t kTaken = 3;

  void compareAhead(const std::stop_token& stop) {
    SourceWork work;
    const std::vector<MonitoredFileIt>& files = *files_;
    for (size_t i = 0; i < files.size(); ++i) {
      if (stop.stop_requested() || ended_.load(std::memory_order_relaxed)) return;
      if (!everySource_) i = std::max(i, runsAt_.load(std::memory_order_relaxed) + kLead);
      if (i >= files.size()) return;
      const MonitoredFile& source = *files[i];
      if (source.isHeaderFile != 0 || source.descriptionLines.size() <= kFirstRecordLine) continue;
      uint8_t free = kFree;
      if (!claims_[i].compare_exchange_strong(free, kComparing, std::memory_order_acquire)) continue;
      bool failed = false;
      try {
        compare(source, work, verdicts_[i]);
      } catch (...) {
        // Only memory can fail here: the run's thread compares what is left.
        verdicts_[i].clear();
        failed = true;
      }
      claims_[i].store(kCompared, std::memory_order_release);
      claims_[i].notify_all();
      if (failed) return;
    }
  }

  void compare(const MonitoredFile& source, SourceWork& work, std::vector<PieceVerdict>& verdicts) {
    startSource(source, work);
    for (const Piece& piece : work.pieces) {
      const MonitoredFile* header = headers_.find(piece.name);
      if (header == nullptr) continue;
      verdicts.push_back(
          PieceVerdict{piece.entry, header, pieceMatchesHeader(source, piece, *header, kFirstRecordLine, true)});
    }
  }

  const std::vector<MonitoredFileIt>* files_ = nullptr;
  std::atomic<bool> attached_{false};
  SharedHeaders& headers_;
  std::unique_ptr<std::atomic<uint8_t>[]> claims_;
  std::vector<std::vector<PieceVerdict>> verdicts_;
  std::atomic<size_t> runsAt_{0};
  std::atomic<bool> ended_{false};
  bool everySource_ = false;
};

// Extracts the headers of every source in `files` (the list as it stood
// before extraction), source by source in list order, each as soon as
// `pipeline` has prepared it and every file its extraction may read: the
// files before it, and the header files that were in the list from the
// start, which any source may merge into. Stops early, returning, when the
// preparation failed (the pipeline reports that). Each source's line
// records are thinned right after its extraction: no later source reads them.
void extractFromSources(const std::vector<MonitoredFileIt>& files, PreparationPipeline* pipeline,
                        LookAhead* lookAhead, SharedHeaders& headers, SourceWork& work) {
  size_t lastHeader = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    if (files[i]->isHeaderFile == 0) continue;
    headers.add(*files[i]);
    lastHeader = i;
  }
  try {
    for (size_t i = 0; i < files.size(); ++i) {
      if (files[i]->isHeaderFile != 0) continue;
      if (pipeline != nullptr && !pipeline->prepareThrough(std::max(i, lastHeader))) return;
      work.verdicts = lookAhead != nullptr ? lookAhead->take(i) : nullptr;
      extractFromSource(files[i], work, headers);
      cleanUpLineRecords(*files[i]);
    }
  } catch (const std::bad_alloc&) {
    failWith(kOutOfMemory);
  }
}

std::vector<MonitoredFileIt> listedFiles() {
  MonitoredFileList& list = database().monitoredFiles;
  std::vector<MonitoredFileIt> files;
  files.reserve(list.size());
  for (auto it = list.begin(); it != list.end(); ++it) files.push_back(it);
  return files;
}

}  // namespace

void extractHeaders() {
  SourceWork work;
  SharedHeaders headers;
  extractFromSources(listedFiles(), nullptr, nullptr, headers, work);
  // Line vectors were replaced; the next walk starts from the first file.
  resetRecordCursor();
}

void prepareCountersAndExtractHeaders() {
  SharedHeaders headers;
  LookAhead lookAhead(headers);
  PreparationPipeline pipeline([&lookAhead](const std::stop_token& stop) { lookAhead.run(stop); });
  lookAhead.attach(pipeline.files());
  if (!pipeline.shared()) {
    pipeline.settle();
    extractHeaders();
    return;
  }
  // The notices and any error of extraction are kept until the preparation
  // is known to have succeeded; if it failed, its error alone is reported.
  std::vector<HeldNotice> held;
  std::exception_ptr failure;
  SourceWork work;
  work.heldNotices = &held;
  try {
    extractFromSources(pipeline.files(), &pipeline, &lookAhead, headers, work);
  } catch (...) {
    failure = std::current_exception();
  }
  lookAhead.end();
  pipeline.settle();
  for (const HeldNotice& notice : held) issueHeaderDiffers(notice.headerName, notice.sourceName);
  if (failure) reportThreadFailure(failure);
  resetRecordCursor();
}

}  // namespace qar
