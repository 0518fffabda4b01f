// postdata, writing side: one complete data file from a list of counter blocks.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "coverage/data_file_layout.h"
#include "coverage/postdata.h"
#include "base/clock.h"
#include "base/file_handle.h"
#include "base/text.h"

namespace qar {
namespace {

using namespace datafile;

constexpr size_t kStreamBufferSize = size_t{1} << 16;

// Line numbers of the consistency checks of this module.
constexpr unsigned long kCheckArraySize = 201;
constexpr unsigned long kCheckBlockCount = 202;

struct OutputFile {
  std::unique_ptr<char[]> buffer;  // declared first: outlives the stream
  FileHandle stream;
  std::string name;
};

[[noreturn]] void failWithSystemError(const OutputFile& out, ErrorCode code, int errorNumber) {
  setErrorArguments(out.name, systemErrorText(errorNumber));
  failWith(code);
}

OutputFile createTarget(std::string_view name) {
  OutputFile out;
  out.name = std::string(name);
  out.stream.reset(std::fopen(out.name.c_str(), "wb"));
  if (!out.stream) failWithSystemError(out, kCannotCreate, errno);
  out.buffer = std::make_unique<char[]>(kStreamBufferSize);
  std::setvbuf(out.stream.get(), out.buffer.get(), _IOFBF, kStreamBufferSize);
  return out;
}

void writeBytes(OutputFile& out, const void* bytes, size_t byteCount) {
  if (byteCount == 0) return;
  if (std::fwrite(bytes, 1, byteCount, out.stream.get()) != byteCount) {
    failWithSystemError(out, kCannotWrite, errno);
  }
}

void writeWords(OutputFile& out, std::initializer_list<uint32_t> words) {
  unsigned char raw[kBlockWordCount * 4];
  size_t byteCount = 0;
  for (uint32_t word : words) {
    storeWord(raw + byteCount, word);
    byteCount += 4;
  }
  writeBytes(out, raw, byteCount);
}

// One write per array; words go out little-endian whatever the host order.
void writeArray(OutputFile& out, const std::vector<uint32_t>& words, uint32_t size) {
  if (words.size() != size) failInternal("postdata", kCheckArraySize);
  if constexpr (kHostIsLittleEndian) {
    writeBytes(out, words.data(), words.size() * 4);
  } else {
    std::vector<uint32_t> diskOrder(words);
    convertWordOrder(diskOrder.data(), diskOrder.size());
    writeBytes(out, diskOrder.data(), diskOrder.size() * 4);
  }
}

void writeBlock(OutputFile& out, const CounterArrays& block) {
  // The name is written as text, so it ends at a NUL byte; its length word
  // must count exactly the bytes written.
  size_t nameLength = strnlen(block.name.data(), block.name.size());
  const CounterSizes& sizes = block.sizes;
  writeWords(out, {kBlockMagic, static_cast<uint32_t>(nameLength), static_cast<uint32_t>(block.instrumentationTime),
                   block.fingerprint, block.rwrCount, block.updCount, sizes.f, sizes.j, sizes.d, sizes.c, sizes.t});
  writeBytes(out, block.name.data(), nameLength);
  writeArray(out, block.functionCounts, sizes.f);
  writeArray(out, block.jumpCounts, sizes.j);
  writeArray(out, block.decisionTrueCounts, sizes.d);
  writeArray(out, block.decisionFalseCounts, sizes.d);
  writeArray(out, block.conditionCounts, sizes.c);
  writeArray(out, block.timeTotals, sizes.t);
  writeArray(out, block.timeMaxima, sizes.t);
}

// Flushing first makes a write that fails in the stream buffer a failed
// write (17) rather than a failed close (6).
void finishTarget(OutputFile& out) {
  if (std::fflush(out.stream.get()) != 0) failWithSystemError(out, kCannotWrite, errno);
  if (std::fclose(out.stream.release()) != 0) failWithSystemError(out, kCannotClose, errno);
}

}  // namespace

void writeDataFile(std::string_view targetName, const std::vector<const CounterArrays*>& blocks) {
  if (blocks.size() > UINT32_MAX) failInternal("postdata", kCheckBlockCount);
  OutputFile out = createTarget(targetName);
  std::string stamp = currentTimeText();
  setCurrentDataFileStamp(stamp);
  std::string header = formatText("%s%24s", std::string(kTextPrefix).c_str(), stamp.c_str());
  writeBytes(out, header.data(), header.size());
  writeWords(out, {kFirstMagic, kSecondMagic, static_cast<uint32_t>(blocks.size())});
  for (const CounterArrays* block : blocks) writeBlock(out, *block);
  writeBytes(out, kTrailer.data(), kTrailer.size());
  finishTarget(out);
}

}  // namespace qar
