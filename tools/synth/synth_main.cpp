// qarpost_synth: writes a synthetic instrumented project, a symbol file and
// one data file per test run, for benchmarks, fuzz seeds and checks at scale.
//
//   qarpost_synth DIR [--seed N] [--files N] [--symbol-mb X] [--runs N] [--coverage PERCENT]
//                     [--shape default|xml-heavy|shared-lines]
//
// DIR/MON.sym describes the source files (about --symbol-mb MB of text over
// --files files; either alone picks the other at about 5 kB a file). Sources
// include shared headers: their code appears in every including source under
// an entry record naming the header, mostly identical, sometimes differing.
// DIR/run_NNN.dat holds the counts of test run NNN, which covers about
// --coverage percent of the sources (default 10). The same arguments always
// give the same files (SOURCE_DATE_EPOCH fixes the stamps).
//
// The shared-lines shape sends most of the sources' own code, through about
// twenty line records per source, to three files that every source shares
// (a generated parser, a table and a definition file), as generated parsers
// and shared .inc/.def files do; a few functions are very large, headers
// are many per source and the descriptions long.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "coverage/database.h"
#include "coverage/postdata.h"
#include "coverage/postsym.h"
#include "base/posterr.h"
#include "synth_plan.h"

namespace {

using namespace qar::synth;

struct Options {
  std::filesystem::path dir;
  uint64_t seed = 1;
  uint32_t files = 0;
  double symbolMb = 0;
  uint32_t runs = 4;
  uint32_t coveragePercent = 10;
  // The XML-heavy shape: long condition texts and most decisions written
  // as multiconditions, so that the XML report is most of the output.
  bool xmlHeavy = false;
  bool sharedLines = false;
};

[[noreturn]] void usage(const char* message) {
  std::fprintf(stderr, "qarpost_synth: %s\nusage: qarpost_synth DIR [--seed N] [--files N] [--symbol-mb X] "
                       "[--runs N] [--coverage PERCENT] [--shape default|xml-heavy|shared-lines]\n", message);
  std::exit(2);
}

Options parseArguments(int argc, char** argv) {
  Options options;
  if (argc < 2 || argv[1][0] == '-') usage("no output folder");
  options.dir = argv[1];
  for (int i = 2; i < argc; ++i) {
    std::string_view name = argv[i];
    if (i + 1 >= argc) usage("option without value");
    const char* value = argv[++i];
    if (name == "--shape") {
      if (std::string_view(value) == "xml-heavy") options.xmlHeavy = true;
      else if (std::string_view(value) == "shared-lines") options.sharedLines = true;
      else if (std::string_view(value) != "default") usage("unknown shape");
      continue;
    }
    char* end = nullptr;
    if (name == "--seed") options.seed = std::strtoull(value, &end, 10);
    else if (name == "--files") options.files = static_cast<uint32_t>(std::strtoul(value, &end, 10));
    else if (name == "--symbol-mb") options.symbolMb = std::strtod(value, &end);
    else if (name == "--runs") options.runs = static_cast<uint32_t>(std::strtoul(value, &end, 10));
    else if (name == "--coverage") options.coveragePercent = static_cast<uint32_t>(std::strtoul(value, &end, 10));
    else usage("unknown option");
    if (end == value || *end != '\0') usage("bad number");
  }
  constexpr double kBytesPerFile = 5000;
  if (options.files == 0 && options.symbolMb <= 0) options.files = 200;
  if (options.files == 0) options.files = std::max<uint32_t>(1, static_cast<uint32_t>(options.symbolMb * 1e6 / kBytesPerFile));
  if (options.symbolMb <= 0) options.symbolMb = options.files * kBytesPerFile / 1e6;
  if (options.coveragePercent == 0 || options.coveragePercent > 100) usage("coverage must be 1 to 100");
  return options;
}

// The kinds of source files of the project: language, instrumentation mode
// and share in percent. Headers are shared within a kind, so that identical
// header code meets identical info lines.
struct FileKind {
  const char* extension;
  uint32_t mode;
  CodeStyle style;
  uint32_t share;
};
const FileKind kKinds[] = {
    {".c", 3, {false, false, false}, 40},   {".cpp", 3, {false, false, true}, 25},
    {".cpp", 7, {false, true, true}, 20},   {".c", 11, {false, false, false}, 8},
    {".cpp", 23, {false, true, true}, 5},   {".c", 1, {true, false, false}, 2},
};
constexpr size_t kKindCount = sizeof kKinds / sizeof kKinds[0];

// The kinds as the chosen shape has them: in the XML-heavy shape every kind
// with decisions is instrumented for multiconditions too and writes most of
// them as such, with long condition texts.
// In the shared-lines shape the texts are long, the decisions as usual.
std::vector<FileKind> kindsOfShape(const Options& options) {
  std::vector<FileKind> kinds(kKinds, kKinds + kKindCount);
  if (options.sharedLines) {
    for (FileKind& kind : kinds) kind.style.longTexts = !kind.style.functionOnly;
  }
  if (!options.xmlHeavy) return kinds;
  for (FileKind& kind : kinds) {
    if (kind.style.functionOnly) continue;
    kind.mode |= qar::kModeMulticondition;
    kind.style.multicondition = true;
    kind.style.longTexts = true;
    kind.style.multiconditionPercent = 85;
  }
  return kinds;
}

size_t kindOf(Rng& rng) {
  uint32_t pick = rng.below(100);
  for (size_t k = 0; k < kKindCount; ++k) {
    if (pick < kKinds[k].share) return k;
    pick -= kKinds[k].share;
  }
  return 0;
}

const char* const kVerbs[] = {"read_", "write_", "parse_", "check_", "update_", "find_", "init_", "reset_"};
constexpr uint32_t kVerbCount = sizeof kVerbs / sizeof kVerbs[0];

struct Header {
  std::string name;
  std::vector<Record> records;
  std::vector<Record> variant;  // the same code seen with another setting
};

// Assigns counter indices, writes the record lines into `file` and the
// counted records' operations into `plan`; returns the bytes written.
size_t emit(const std::vector<Record>& records, qar::MonitoredFile& file, SourcePlan& plan, uint32_t& conditionBase) {
  size_t bytes = 0;
  char buffer[4200];
  for (const Record& r : records) {
    uint32_t index = 0;
    switch (r.counter) {
      case Counter::None: break;
      case Counter::F: index = plan.sizes.f++; break;
      case Counter::J: index = plan.sizes.j++; break;
      case Counter::D: index = plan.sizes.d++; break;
      case Counter::CBase:
        conditionBase = plan.sizes.c;
        plan.sizes.c += r.offset;
        index = conditionBase;
        break;
      case Counter::COffset: index = conditionBase + r.offset; break;
    }
    int length = std::snprintf(buffer, sizeof buffer, "%u %u %u %u %u%s%s", r.kind, r.line, r.statements, index,
                               r.nesting, r.text.empty() ? "" : " ", r.text.c_str());
    qar::appendDescriptionLine(file, std::string_view(buffer, static_cast<size_t>(length)));
    bytes += static_cast<size_t>(length) + 1;
    if (r.op != OpCode::None) plan.ops.push_back(CounterOp{r.op, r.flag, index});
  }
  return bytes;
}

size_t addLine(qar::MonitoredFile& file, const std::string& text) {
  qar::appendDescriptionLine(file, text);
  return text.size() + 1;
}

std::string entryRecord(uint32_t line, const std::string& name) {
  return "50 " + std::to_string(line) + " 0 0 0 # " + std::to_string(line) + " \"" + name + "\"";
}

// The files that the line records of the shared-lines shape name.
const char* const kSharedFiles[] = {"gen/parser.y", "include/tables.inc", "include/opcodes.def"};

// Puts in-function line records (kind 51) before some counted records of a
// function (not inside a multicondition's combinations, not at its end): most name a shared file, the rest lead back to the
// source itself. `percent` is the chance per such record.
void addSharedLineRecords(Rng& rng, const std::string& source, uint32_t percent, std::vector<Record>& records) {
  std::vector<Record> out;
  out.reserve(records.size() + records.size() * percent / 50 + 1);
  for (Record& r : records) {
    bool fits = r.op != OpCode::None && r.op != OpCode::Combo && r.op != OpCode::FunctionEnd &&
                r.counter != Counter::COffset;
    if (fits && rng.below(1000) < percent) {
      const char* name = rng.chance(85) ? kSharedFiles[rng.below(3)] : source.c_str();
      Record& line = out.emplace_back();
      line.kind = 51;
      line.line = r.line;
      line.statements = r.statements;
      line.nesting = r.nesting;
      line.text = "# " + std::to_string(r.line) + " \"" + name + "\"";
    }
    out.push_back(std::move(r));
  }
  records.swap(out);
}

}  // namespace

int main(int argc, char** argv) {
  Options options = parseArguments(argc, argv);
  std::filesystem::create_directories(options.dir);
  const double bytesPerFile = options.symbolMb * 1e6 / options.files;
  const std::vector<FileKind> kinds = kindsOfShape(options);
  // The shared-lines shape: bytes written so far against the bytes due, so
  // that the very large functions do not push the total off its size.
  double bytesDue = 0;
  size_t bytesWritten = 0;

  // Header pools, one per kind of file.
  std::vector<std::vector<Header>> headers(kKindCount);
  size_t headerCount = 0;
  for (size_t k = 0; k < kKindCount; ++k) {
    uint32_t count = std::max<uint32_t>(2, options.files * kKinds[k].share / 100 / 40);
    Rng rng(mixSeed(options.seed, 7, k));
    for (uint32_t h = 0; h < count; ++h) {
      Header header;
      header.name = "include/lib" + std::to_string(k) + "/part_" + std::to_string(h) + ".h";
      uint32_t line = 5;
      uint32_t functions = options.sharedLines ? 1 : 1 + rng.below(3);
      for (uint32_t f = 0; f < functions; ++f) {
        std::string name = kinds[k].style.cpp && rng.chance(50)
                               ? "Table<T>::lookup_" + std::to_string(h) + "_" + std::to_string(f)
                               : "inline_helper_" + std::to_string(h) + "_" + std::to_string(f);
        buildFunction(rng, kinds[k].style, name, line, header.records);
      }
      header.variant = header.records;
      header.variant.back().line += 1;
      headers[k].push_back(std::move(header));
      ++headerCount;
    }
  }

  std::vector<SourcePlan> plans(options.files);
  qar::resetDatabase();
  for (uint32_t s = 0; s < options.files; ++s) {
    Rng rng(mixSeed(options.seed, 1, s));
    size_t kind = kindOf(rng);
    const FileKind& fileKind = kinds[kind];
    SourcePlan& plan = plans[s];
    char name[64];
    std::snprintf(name, sizeof name, "src/module_%03u/unit_%05u%s", s / 100, s, fileKind.extension);
    plan.name = name;
    plan.instrumentationTime = 1764900000 + static_cast<int32_t>(s % 86400);
    plan.fingerprint = static_cast<uint32_t>(rng.next());
    plan.timed = (fileKind.mode & (qar::kModeInclusiveTiming | qar::kModeExclusiveTiming)) != 0;

    qar::MonitoredFile& file = qar::appendMonitoredFile(plan.name);
    size_t bytes = addLine(file, "@" + plan.name);
    char info[96];
    std::snprintf(info, sizeof info, "%u %" PRId32 " %08X 0 0", fileKind.mode, plan.instrumentationTime,
                  plan.fingerprint);
    bytes += addLine(file, info);

    uint32_t conditionBase = 0;
    const std::vector<Header>& pool = headers[kind];
    uint32_t includes = options.sharedLines ? 2 + rng.below(5) : rng.below(4);
    includes = std::min<uint32_t>(includes, static_cast<uint32_t>(pool.size()));
    uint32_t first = rng.below(static_cast<uint32_t>(pool.size()));
    for (uint32_t h = 0; h < includes; ++h) {
      const Header& header = pool[(first + h) % pool.size()];
      bytes += addLine(file, entryRecord(1, header.name));
      bytes += emit(rng.chance(3) ? header.variant : header.records, file, plan, conditionBase);
    }
    uint32_t line = 10;
    if (includes > 0) bytes += addLine(file, entryRecord(line, plan.name));

    std::vector<Record> records;
    // Files instrumented for function coverage only are kept small, as
    // such files are: a few functions, however short their records.
    uint32_t maxFunctions = fileKind.style.functionOnly ? 4 + rng.below(12) : UINT32_MAX;
    CodeStyle style = fileKind.style;
    double fileBytes = bytesPerFile;
    if (options.sharedLines) {
      bytesDue += bytesPerFile;
      fileBytes = std::max(0.0, bytesDue - static_cast<double>(bytesWritten));
      // One source in five hundred is a single very large function.
      if (!style.functionOnly && rng.below(500) == 0) {
        style.outerItems = 150 + rng.below(150);
        maxFunctions = 1;
      }
    }
    // Stop when the next function would, on average, overshoot the file's
    // share of the symbol text by more than it would leave it short.
    size_t functionBytes = 0;
    for (uint32_t f = 0; f < maxFunctions; ++f) {
      if (f > 0 && static_cast<double>(bytes + functionBytes / f / 2) >= fileBytes) break;
      records.clear();
      std::string function = "unit" + std::to_string(s) + "_" + kVerbs[rng.below(kVerbCount)] + std::to_string(f);
      buildFunction(rng, style, function, line, records);
      if (options.sharedLines && !style.functionOnly) addSharedLineRecords(rng, plan.name, 1000, records);
      size_t added = emit(records, file, plan, conditionBase);
      bytes += added;
      functionBytes += added;
    }
    if (plan.timed) plan.sizes.t = plan.sizes.f;
    std::string count = "%" + std::to_string(line) + "," + std::to_string(plan.sizes.f) + "," +
                        std::to_string(plan.sizes.j) + "," + std::to_string(plan.sizes.d) + "," +
                        std::to_string(plan.sizes.c) + "," + std::to_string(plan.sizes.t);
    bytesWritten += bytes + addLine(file, count);
  }

  try {
    qar::writeSymbolFile((options.dir / "MON.sym").string());
    qar::resetDatabase();
    for (uint32_t run = 0; run < options.runs; ++run) {
      std::vector<qar::CounterArrays> blocks;
      for (uint32_t s = 0; s < options.files; ++s) {
        Rng pick(mixSeed(options.seed, 2 + 4 * uint64_t{run}, s));
        bool covered = pick.below(100) < options.coveragePercent || s == run % options.files;
        if (!covered) continue;
        const SourcePlan& plan = plans[s];
        qar::CounterArrays& block = blocks.emplace_back();
        block.name = plan.name;
        block.instrumentationTime = plan.instrumentationTime;
        block.fingerprint = plan.fingerprint;
        block.sizes = plan.sizes;
        Rng counts(mixSeed(options.seed, 3 + 4 * uint64_t{run}, s));
        simulateRun(plan, counts, block);
      }
      std::vector<const qar::CounterArrays*> order;
      for (const qar::CounterArrays& block : blocks) order.push_back(&block);
      char name[32];
      std::snprintf(name, sizeof name, "run_%03u.dat", run);
      qar::writeDataFile((options.dir / name).string(), order);
    }
  } catch (const qar::ProgramExit& exit) {
    return exit.status;
  }
  std::printf("%s: %ju bytes of symbol text, %u source files, %zu headers, %u data files\n",
              options.dir.string().c_str(), static_cast<uintmax_t>(std::filesystem::file_size(options.dir / "MON.sym")),
              options.files, headerCount, options.runs);
  return 0;
}
