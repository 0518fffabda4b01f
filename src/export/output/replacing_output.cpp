#include "export/output/replacing_output.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string_view>

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qar {
namespace {

// The temporary files of the outputs being written, where a signal handler
// can read them: a fixed table of names, each marked used once it is whole.
// A run writes at most the four formats, the HTML index and its style
// sheet at a time.
constexpr size_t kPendingSlots = 8;
struct PendingSlot {
  volatile std::sig_atomic_t used = 0;
  char path[PATH_MAX] = {};
};
PendingSlot pendingSlots[kPendingSlots];

void rememberPending(const std::string& path) {
  if (path.size() >= PATH_MAX) return;  // too long to keep: only a signal would have used it
  for (PendingSlot& slot : pendingSlots) {
    if (slot.used) continue;
    std::memcpy(slot.path, path.c_str(), path.size() + 1);
    slot.used = 1;
    return;
  }
}

void forgetPending(const std::string& path) {
  for (PendingSlot& slot : pendingSlots) {
    if (slot.used && path == slot.path) slot.used = 0;
  }
}

// How a write to a name reaches the file system.
enum class Reach { Replace, InPlace, Refused };

// Links are followed as opening the name would follow them; a chain longer
// than the system's own limit is refused as opening would refuse it.
constexpr int kLinkLimit = 40;

// Follows `name` to the file it leads to. Replace: a regular file that may
// be written, or no file yet; InPlace: anything else; Refused, with errno:
// what opening the name for writing would refuse.
Reach followName(const std::string& name, std::string& path) {
  path = name;
  for (int links = 0;; ++links) {
    // /proc's links (/dev/stdout, /dev/fd/N) stand for open descriptors,
    // not for the names they show; a trailing "/" names no file to replace.
    if (path.starts_with("/proc/") || path.empty() || path.back() == '/') return Reach::InPlace;
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
      // A new file; a missing directory shows when the file is created.
      return errno == ENOENT ? Reach::Replace : Reach::Refused;
    }
    if (S_ISREG(status.st_mode)) {
      // Renaming needs only the directory's permission: a file that the
      // run may not write stays as it is.
      return ::access(path.c_str(), W_OK) == 0 ? Reach::Replace : Reach::Refused;
    }
    if (!S_ISLNK(status.st_mode)) return Reach::InPlace;
    if (links == kLinkLimit) {
      errno = ELOOP;
      return Reach::Refused;
    }
    char text[PATH_MAX];
    const ssize_t length = ::readlink(path.c_str(), text, sizeof text);
    if (length < 0) return Reach::Refused;
    if (static_cast<size_t>(length) == sizeof text) {
      errno = ENAMETOOLONG;
      return Reach::Refused;
    }
    std::string next(text, static_cast<size_t>(length));
    if (next.empty() || next[0] != '/') {
      const size_t slash = path.rfind('/');
      if (slash != std::string::npos) next.insert(0, path, 0, slash + 1);
    }
    path = std::move(next);
  }
}

// ".NAME.qarpost-PID-N.tmp" beside the target: hidden, and named for the
// file it becomes. The name is cut so that the whole stays a valid name.
std::string temporaryName(const std::string& path, unsigned serial) {
  const size_t slash = path.rfind('/');
  const size_t baseStart = slash == std::string::npos ? 0 : slash + 1;
  std::string_view base = std::string_view(path).substr(baseStart);
  if (base.size() > 180) base = base.substr(0, 180);
  std::string name = path.substr(0, baseStart);
  name += '.';
  name += base;
  name += ".qarpost-";
  name += std::to_string(::getpid());
  name += '-';
  name += std::to_string(serial);
  name += ".tmp";
  return name;
}

unsigned& temporarySerial() {
  static unsigned serial = 0;
  return serial;
}

constexpr int kDiscardingSignals[] = {SIGHUP, SIGINT, SIGTERM, SIGPIPE};

// Holds the signals that remove the temporary files while one is created
// and not yet remembered, so that none is created behind the handler's back.
class HeldSignals {
 public:
  HeldSignals() {
    sigset_t held;
    sigemptyset(&held);
    for (int signalNumber : kDiscardingSignals) sigaddset(&held, signalNumber);
    ::sigprocmask(SIG_BLOCK, &held, &before_);
  }
  ~HeldSignals() { ::sigprocmask(SIG_SETMASK, &before_, nullptr); }
  HeldSignals(const HeldSignals&) = delete;
  HeldSignals& operator=(const HeldSignals&) = delete;

 private:
  sigset_t before_;
};

extern "C" void discardOnSignal(int signalNumber) {
  discardOpenOutputTargets();
  // The handler was installed with SA_RESETHAND: the signal, blocked while
  // it is handled, takes its default action as soon as this returns.
  ::raise(signalNumber);
}

}  // namespace

int openOutputTarget(OutputTarget& target, const std::string& name) {
  target = OutputTarget{};
  std::string path;
  switch (followName(name, path)) {
    case Reach::Refused: return -1;
    case Reach::InPlace:
      target.path = name;
      return ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    case Reach::Replace: break;
  }
  const HeldSignals held;
  // A name left by an earlier process of the same number is skipped.
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string temporary = temporaryName(path, temporarySerial()++);
    const int file = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (file >= 0) {
      target.path = std::move(path);
      target.temporary = std::move(temporary);
      rememberPending(target.temporary);
      return file;
    }
    if (errno != EEXIST) return -1;
  }
  return -1;
}

bool completeOutputTarget(OutputTarget& target) {
  if (target.temporary.empty()) return true;
  const bool renamed = ::rename(target.temporary.c_str(), target.path.c_str()) == 0;
  const int renameError = errno;
  if (!renamed) ::unlink(target.temporary.c_str());
  forgetPending(target.temporary);
  target.temporary.clear();
  errno = renameError;
  return renamed;
}

void discardOutputTarget(OutputTarget& target) {
  if (target.temporary.empty()) return;
  const int savedError = errno;
  ::unlink(target.temporary.c_str());
  forgetPending(target.temporary);
  target.temporary.clear();
  errno = savedError;
}

void discardOpenOutputTargets() {
  for (PendingSlot& slot : pendingSlots) {
    if (!slot.used) continue;
    ::unlink(slot.path);
    slot.used = 0;
  }
}

void discardOutputTargetsOnSignals() {
  for (int signalNumber : kDiscardingSignals) {
    struct sigaction current {};
    if (::sigaction(signalNumber, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = discardOnSignal;
    sigfillset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    ::sigaction(signalNumber, &action, nullptr);
  }
}

void resetOutputTargets() {
  for (PendingSlot& slot : pendingSlots) slot.used = 0;
}

}  // namespace qar
