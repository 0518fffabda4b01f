// An options file given on the command line as "@file".
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cmdline/postcmdl.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  qarfuzz::quietStandardStreams(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string optionsFile = qarfuzz::scratchPath("options.txt");
  static const std::string argument = "@" + optionsFile;
  qarfuzz::writeScratchFile(optionsFile, data, size);
  qarfuzz::resetProgramState();
  qarfuzz::runGuarded([] {
    const char* const argv[] = {"qarpost", argument.c_str()};
    qar::parseCommandLine(2, argv);
  });
  return 0;
}
