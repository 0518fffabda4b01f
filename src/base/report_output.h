#pragma once
// A report destination: standard output (the names "-" and "stdout"; never
// closed) or a file created for writing. Buffered, with every write checked.
#include <string>
#include <string_view>
#include <vector>
#include <cstdint>

namespace qar {

struct ReportOutput {
  int descriptor = -1;  // the file's; standard output goes through its own buffer
  bool open = false;
  bool toStdout = false;
  std::string displayName;  // "stdout" for standard output; used in messages
  std::string buffer;       // text of a file not yet written
  bool mayWriteAside = false;  // a regular file, whose buffers a second thread may write
  bool writesAside = false;    // it does
  // Text kept in memory (a part of a report made on another thread): the
  // buffer holds all of it, `pieces` the length of each write, so that
  // writeReportPieces writes it later as those writes would have.
  bool toMemory = false;
  std::vector<uint32_t> pieces;
};

// Chooses the destination; a file that cannot be created is ErrorCode 8.
void openReportOutput(ReportOutput& output, std::string_view name);

// Makes `output` an open destination in memory (see ReportOutput::toMemory);
// it never fails.
void openReportOutputInMemory(ReportOutput& output);

// Writes `text`; a failing write is ErrorCode 17.
void writeReportOutput(ReportOutput& output, std::string_view text);

// Writes `text`, the concatenation of writes of the lengths `pieces`, as
// writeReportOutput would have written each piece in turn: the same bytes
// reach the file at the same points, and a failure comes at the same piece.
void writeReportPieces(ReportOutput& output, std::string_view text, const std::vector<uint32_t>& pieces);

// Writes `text` after what is buffered, taking its storage (it is left
// empty): the same bytes as writeReportOutput, in writes of other sizes. A
// large text goes to the file as it is, by the second thread when the file
// writes that way, without being copied into the buffer. For text whose
// writes need not fall where its pieces would have put them: those of a
// walk that went well, whose file then holds the same bytes in the end
// (and on a write failure the same bytes up to where the disk ended it).
void writeReportText(ReportOutput& output, std::string& text);

// A part of a report made in memory, written after what is buffered and
// freed: whole (writeReportText) when its walk went well, else write by
// write (writeReportPieces), so that a run that ends at its error leaves
// the file as the walk in one piece leaves it.
void writeReportPart(ReportOutput& output, std::string& text, std::vector<uint32_t>& pieces, bool walkedWell);

// Writes what is buffered (a failure is a write error, ErrorCode 17) and
// closes a file (a failure is ErrorCode 6, with ExitIfFatalCode). Forgets the
// destination.
void closeReportOutput(ReportOutput& output);

// Forgets the destination without reporting anything (tests, resets, the
// ways out after an error); what a file's buffer holds is dropped.
void abandonReportOutput(ReportOutput& output);

}  // namespace qar
