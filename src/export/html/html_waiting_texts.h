#pragma once
// The texts of the HTML report's pages that wait for their cards until the
// walk ends (files that several database files contribute to). A run whose
// sources share their line directives has thousands of them (30 MB of the
// 100 MB shared-lines case): they wait in a file of the report's directory
// that has no name (it goes with the run), not in memory. Where no such
// file can be had, or writing it fails, the texts wait in memory as before:
// either way the pages are the same and written in the same order. A text
// read back gives its room on the disk back at once, so the file never
// holds more than the pages still to be written.
#include <cstdint>
#include <string>
#include <vector>

#include "base/file_handle.h"

namespace qar {

class WaitingTexts {
 public:
  // A text kept for later, by number in the order kept.
  size_t keep(const std::string& directory, const std::string& text);
  // Gives text `number` back into `text`. False, with errno set, when it
  // cannot be read back.
  bool take(size_t number, std::string& text);
  void clear();

 private:
  struct Kept {
    bool inFile = false;
    uint64_t at = 0;
    size_t length = 0;
    std::string text;  // when not in the file
  };
  void openFile(const std::string& directory);

  FileHandle file_;
  bool fileTried_ = false;
  bool fileFailed_ = false;  // a write failed: the texts after it stay in memory
  uint64_t fileSize_ = 0;
  std::vector<Kept> kept_;
};

}  // namespace qar
