// Preloaded into a run of qarpost-export, makes the closing of one output
// fail as on a network file system that reports a lost write only when the
// file is closed: fclose of a file whose name holds the text of
// QARPOST_FAIL_CLOSE closes it and then returns EOF with EIO.
#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using CloseFunction = int (*)(std::FILE*);

bool namedForFailure(std::FILE* stream) {
  const char* text = std::getenv("QARPOST_FAIL_CLOSE");
  if (text == nullptr || *text == '\0') return false;
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fileno(stream));
  char name[4096];
  const ssize_t length = readlink(link, name, sizeof name - 1);
  if (length < 0) return false;
  name[length] = '\0';
  return std::strstr(name, text) != nullptr;
}

}  // namespace

extern "C" int fclose(std::FILE* stream) {
  static const auto real = reinterpret_cast<CloseFunction>(dlsym(RTLD_NEXT, "fclose"));
  const bool fail = stream != nullptr && namedForFailure(stream);
  const int result = real(stream);
  if (fail && result == 0) {
    errno = EIO;
    return EOF;
  }
  return result;
}
