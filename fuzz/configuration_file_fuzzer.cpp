// A configuration file named by -c, its first line also applied as a -C
// override, then validated and queried as the reports do.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "config/configuration.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  qarfuzz::quietStandardStreams(argc, argv);
  // Only the fuzzed file is found by the search.
  unsetenv("QARHOME");
  unsetenv("QARINIT");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string configFile = qarfuzz::scratchPath("fuzzed.ini");
  qarfuzz::writeScratchFile(configFile, data, size);
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string firstLine(text.substr(0, text.find('\n')));
  qarfuzz::resetProgramState();
  qarfuzz::runGuarded([&] {
    qar::loadConfiguration(configFile, true);
    qar::applyConfigOverrides(std::vector<std::string>{firstLine});
    qar::validateConfiguration();
    for (int i = 0; i < qar::kConfigParameterCount; ++i) {
      qar::configValue(static_cast<qar::ConfigParameter>(i));
    }
  });
  return 0;
}
