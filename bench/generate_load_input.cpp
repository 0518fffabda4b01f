// Writes a large, consistent input for the loading benchmark: one symbol file
// describing many source files, and many data files, each holding the
// counters of one test program that exercised a part of the sources.
//
//   qarpost_generate_load_input DIR [SOURCE_FILES [RECORDS_PER_FILE [DATA_FILES]]]
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "coverage/model.h"
#include "coverage/postdata.h"
#include "base/posterr.h"

namespace {

struct SourcePlan {
  std::string name;
  uint32_t fingerprint;
  qar::CounterSizes sizes;
};

// One function: its record, a few decisions and jumps, its end.
void appendFunction(std::string& text, uint32_t& line, uint32_t function, qar::CounterSizes& sizes,
                    uint32_t records, std::mt19937& random) {
  uint32_t statement = 0;
  text += "0 " + std::to_string(line) + " 0 " + std::to_string(sizes.f++) + " 0 function_" +
          std::to_string(function) + "\n";
  for (uint32_t r = 0; r + 2 < records; ++r) {
    line += 1 + static_cast<uint32_t>(random() % 3);
    statement += 1 + static_cast<uint32_t>(random() % 2);
    bool decision = static_cast<uint32_t>(random() % 2) == 0;
    uint32_t index = decision ? sizes.d++ : sizes.j++;
    const char* kindAndText = decision ? "20 %u %u %u 1 value > limit_%u\n" : "13 %u %u %u 1 return result_%u\n";
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, kindAndText, line, statement, index, r);
    text += buffer;
  }
  line += 2;
  text += "1 " + std::to_string(line) + " " + std::to_string(statement) + " " + std::to_string(sizes.j++) +
          " 0 }\n";
  line += 2;
}

void writeText(const std::string& path, const std::string& text) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr || std::fwrite(text.data(), 1, text.size(), file) != text.size() || std::fclose(file) != 0) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::exit(1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s DIR [SOURCE_FILES [RECORDS_PER_FILE [DATA_FILES]]]\n", argv[0]);
    return 2;
  }
  std::filesystem::path dir = argv[1];
  uint32_t sourceFiles = argc > 2 ? static_cast<uint32_t>(std::atoi(argv[2])) : 20000;
  uint32_t recordsPerFile = argc > 3 ? static_cast<uint32_t>(std::atoi(argv[3])) : 100;
  uint32_t dataFiles = argc > 4 ? static_cast<uint32_t>(std::atoi(argv[4])) : 100;
  std::filesystem::create_directories(dir);
  std::mt19937 random(20261205);

  std::vector<SourcePlan> plans;
  std::string symbolText = "Tarvo sym 9\nSat Dec  5 12:00:00 2026\n";
  for (uint32_t s = 0; s < sourceFiles; ++s) {
    SourcePlan plan{"src/module_" + std::to_string(s / 100) + "/unit_" + std::to_string(s) + ".c",
                    static_cast<uint32_t>(random()), {}};
    char info[96];
    std::snprintf(info, sizeof info, "3 1764900000 %08X 0 0\n", plan.fingerprint);
    symbolText += "@" + plan.name + "\n" + info;
    uint32_t line = 10;
    for (uint32_t function = 0, left = recordsPerFile; left > 0; ++function) {
      uint32_t records = std::min<uint32_t>(left, 8 + static_cast<uint32_t>(random() % 8));
      if (left - records < 3) records = left;
      appendFunction(symbolText, line, function, plan.sizes, records, random);
      left -= records;
    }
    symbolText += "%" + std::to_string(line) + "," + std::to_string(plan.sizes.f) + "," +
                  std::to_string(plan.sizes.j) + "," + std::to_string(plan.sizes.d) + ",0,0\n";
    plans.push_back(std::move(plan));
  }
  symbolText += "END OF SYMBOLFILE\n";
  writeText((dir / "MON.sym").string(), symbolText);

  // Each test program covers a tenth of the sources, starting at its own place.
  uint32_t perRun = std::max<uint32_t>(1, sourceFiles / 10);
  try {
    for (uint32_t run = 0; run < dataFiles; ++run) {
      std::vector<qar::CounterArrays> blocks(perRun);
      std::vector<const qar::CounterArrays*> order;
      for (uint32_t b = 0; b < perRun; ++b) {
        const SourcePlan& plan = plans[(run * 997 + b) % sourceFiles];
        qar::CounterArrays& block = blocks[b];
        block.name = plan.name;
        block.instrumentationTime = 1764900000;
        block.fingerprint = plan.fingerprint;
        block.sizes = plan.sizes;
        auto fill = [&](std::vector<uint32_t>& counts, uint32_t size) {
          counts.resize(size);
          for (uint32_t& c : counts) c = static_cast<uint32_t>(random() % 4) == 0 ? 0 : static_cast<uint32_t>(random() % 1000);
        };
        fill(block.functionCounts, plan.sizes.f);
        fill(block.jumpCounts, plan.sizes.j);
        fill(block.decisionTrueCounts, plan.sizes.d);
        fill(block.decisionFalseCounts, plan.sizes.d);
        order.push_back(&block);
      }
      char name[32];
      std::snprintf(name, sizeof name, "run_%03u.dat", run);
      qar::writeDataFile((dir / name).string(), order);
    }
  } catch (const qar::ProgramExit& exit) {
    return exit.status;
  }
  std::printf("symbol text: %zu bytes, %u source files, %u data files\n", symbolText.size(), sourceFiles,
              dataFiles);
  return 0;
}
