#include "fuzz_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <new>
#include <vector>

#include "config/configuration.h"
#include "coverage/database.h"
#include "coverage/postdata.h"
#include "coverage/postsym.h"
#include "coverage/record_reader.h"
#include "cmdline/postcmdl.h"
#include "base/posterr.h"
#include "driver/program.h"
#include "listings/listing_header_state.h"
#include "listings/mcdc.h"
#include "listings/postlist.h"
#include "listings/statement_analysis.h"
#include "xml/xml_output.h"

namespace qarfuzz {
namespace {

std::string& scratchFolder() {
  static std::string folder;
  return folder;
}

// The scratch files die with the process; the folder holds only the files
// the targets write there.
void removeScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(scratchFolder(), ignored);
}

}  // namespace

void resetProgramState() {
  qar::resetListingStream();
  qar::resetXmlOutput();
  qar::resetSymbolFileState();
  qar::resetDataFileState();
  qar::resetDatabase();
  qar::resetRecordReader();
  qar::resetStatementAnalysis();
  qar::resetMcdc();
  qar::resetDescriptionState();
  qar::resetHeaderListFlags();
  qar::resetConfiguration();
  qar::resetDriverState();
  qar::resetDiagnostics();
  qar::setOptions(qar::OptionSettings{});
}

std::string scratchPath(std::string_view name) {
  static const std::string& folder = [] () -> const std::string& {
    struct stat info {};
    std::string base = stat("/dev/shm", &info) == 0 ? "/dev/shm" : "/tmp";
    std::string& path = scratchFolder();
    path = base + "/qarfuzz-" + std::to_string(getpid());
    mkdir(path.c_str(), 0700);
    std::atexit(removeScratchFolder);
    return path;
  }();
  return folder + "/" + std::string(name);
}

void writeScratchFile(const std::string& path, const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return;
  if (size > 0) std::fwrite(data, 1, size, file);
  std::fclose(file);
}

void runGuarded(void (*step)(void*), void* context) {
  try {
    try {
      step(context);
    } catch (const std::bad_alloc&) {
      qar::failWith(qar::kOutOfMemory);
    }
  } catch (const qar::ProgramExit&) {
  }
}

void quietStandardStreams(int* argc, char*** argv) {
  // An input naming standard input must not wait for it.
  if (std::freopen("/dev/null", "rb", stdin) == nullptr) std::perror("qarfuzz: /dev/null");
  static std::vector<char*> arguments;
  static char quietFlag[] = "-close_fd_mask=3";
  arguments.assign(*argv, *argv + *argc);
  arguments.insert(arguments.begin() + (arguments.empty() ? 0 : 1), quietFlag);
  arguments.push_back(nullptr);
  *argc = static_cast<int>(arguments.size() - 1);
  *argv = arguments.data();
}

}  // namespace qarfuzz
