// The listing stream: one destination at a time, standard output or a file,
// buffered, with every write checked.
#include <cerrno>
#include <cstdio>

#include "driver/posterr.h"
#include "listings/listing_header_state.h"
#include "listings/postlist.h"
#include "util/text.h"

namespace qar {
namespace {

constexpr size_t kFileBufferSize = 1 << 16;

struct ListingStream {
  std::FILE* file = nullptr;
  bool toStdout = false;
  std::string displayName;
};

ListingStream& stream() {
  static ListingStream state;
  return state;
}

[[noreturn]] void failOnStream(ErrorCode code, const std::string& name, int errorNumber) {
  setErrorArguments(name, systemErrorText(errorNumber));
  failWith(code);
}

}  // namespace

void openListing(std::string_view name) {
  if (listingIsOpen()) closeListing();
  ListingStream& state = stream();
  if (name == "-" || name == "stdout") {
    state.file = stdout;
    state.toStdout = true;
    state.displayName = "stdout";
  } else {
    std::string fileName(name);
    errno = 0;
    std::FILE* file = std::fopen(fileName.c_str(), "w");
    if (file == nullptr) failOnStream(kCannotCreate, fileName, errno);
    std::setvbuf(file, nullptr, _IOFBF, kFileBufferSize);
    state.file = file;
    state.toStdout = false;
    state.displayName = std::move(fileName);
  }
  resetHeaderListFlags();
  clearListingLine();
  setNestingLevel(0);
  resetDescriptionState();
}

void closeListing() {
  ListingStream& state = stream();
  if (state.file == nullptr) return;
  std::FILE* file = state.file;
  bool toStdout = state.toStdout;
  std::string name = std::move(state.displayName);
  state = ListingStream{};
  errno = 0;
  if (toStdout) {
    // Standard output stays open; what is still buffered must reach it.
    if (std::fflush(file) != 0) failOnStream(kCannotWrite, name, errno);
    return;
  }
  if (std::fclose(file) != 0) {
    setErrorArguments(name, systemErrorText(errno));
    reportError(kCannotClose, ErrorSeverity::ExitIfFatalCode);
  }
}

bool listingIsOpen() { return stream().file != nullptr; }

const std::string& listingDisplayName() { return stream().displayName; }

void writeListingText(std::string_view text) {
  ListingStream& state = stream();
  if (state.file == nullptr) failInternal("postlist", 101);
  if (text.empty()) return;
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), state.file) != text.size()) {
    failOnStream(kCannotWrite, state.displayName, errno);
  }
}

void writeListingEmptyLine() { writeListingText("\n"); }

void resetListingStream() {
  ListingStream& state = stream();
  if (state.file != nullptr && !state.toStdout) std::fclose(state.file);
  if (state.toStdout) std::fflush(stdout);
  state = ListingStream{};
  resetHeaderListFlags();
  clearListingLine();
  setNestingLevel(0);
  resetDescriptionState();
}

}  // namespace qar
