// The contents listing (-l, -L): for every description of the symbol files
// and every counter block of the data files, its instrumentation time,
// fingerprint and file name; with -L also its counter sizes and rwr and upd
// counts. Lets a user see why counter data does or does not match.
#include "listings/contents_listing.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

#include "coverage/database.h"
#include "listings/postlist.h"
#include "base/clock.h"
#include "base/quick_format.h"

namespace qar {
namespace {

// What one entry line shows, from a MonitoredFile or a data block.
struct ContentsEntry {
  int32_t instrumentationTime;
  uint32_t fingerprint;
  std::string_view name;
  const CounterSizes& sizes;
  uint32_t rwrCount;
  uint32_t updCount;
};

// A symbol file keeps 64-bit times, the data files 32 bits: the listing
// shows the low 32 bits taken as signed, as a data block would hold them.
int32_t low32Signed(int64_t time) { return static_cast<int32_t>(static_cast<uint32_t>(time)); }

// "%08x".
void appendHex8(std::string& out, uint32_t value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  for (int shift = 28; shift >= 0; shift -= 4) out += kDigits[(value >> shift) & 0xF];
}

class EntryWriter {
 public:
  explicit EntryWriter(bool withCounters) : withCounters_(withCounters) {}

  void write(const ContentsEntry& entry) {
    // A time before 1970 (negative as a signed 32-bit value) is shown as the
    // calendar date it stands for, back to Dec 13 1901; that text has the
    // same 24 characters as any other, so the columns stay aligned.
    line_.assign("   ");
    appendTimeText(line_, static_cast<std::time_t>(entry.instrumentationTime));
    line_ += "   ";
    appendHex8(line_, entry.fingerprint);
    line_ += ' ';
    line_ += entry.name;
    line_ += '\n';
    if (withCounters_) {
      const std::pair<const char*, uint64_t> counters[] = {
          {"      counters: F: ", entry.sizes.f}, {", J: ", entry.sizes.j}, {", D: ", entry.sizes.d},
          {", C: ", entry.sizes.c}, {", T: ", entry.sizes.t}, {", rwr: ", entry.rwrCount},
          {", upd: ", entry.updCount}};
      for (const auto& [label, value] : counters) {
        line_ += label;
        appendUnsigned(line_, value);
      }
      line_ += '\n';
    }
    writeListingText(line_);
    ++count_;
  }

  // The closing lines of a section: an empty line after the entries, if any,
  // then their number.
  void finishSection() {
    if (count_ > 0) writeListingEmptyLine();
    char text[64];
    std::snprintf(text, sizeof text, "Source files: %u\n", count_);
    writeListingText(text);
    count_ = 0;
  }

 private:
  bool withCounters_;
  uint32_t count_ = 0;
  std::string line_;  // one buffer for every entry
};

}  // namespace

void writeContentsListing(ReportKind kind, bool anySymbolFile, bool anyDataFile) {
  const CoverageDatabase& db = database();
  EntryWriter writer(kind == ReportKind::ContentsWithCounters);
  if (anySymbolFile) {
    writeListingText("Instrumentation times and file names in symbol file(s):\n\n");
    for (const MonitoredFile& file : db.monitoredFiles) {
      writer.write({low32Signed(file.instrumentationTime), file.fingerprint, file.name, file.counterSizes,
                    file.rwrCount, file.updCount});
    }
    writer.finishSection();
  }
  if (anyDataFile) {
    if (anySymbolFile) writeListingEmptyLine();
    writeListingText("Instrumentation times and file names in data file(s):\n\n");
    for (const DataBlockSummary& block : db.dataBlockSummaries) {
      writer.write({block.instrumentationTime, block.fingerprint, block.name, block.sizes, block.rwrCount,
                    block.updCount});
    }
    writer.finishSection();
  }
}

}  // namespace qar
