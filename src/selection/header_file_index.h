#pragma once
// Finds the header MonitoredFile for a header name without walking every
// header file: a header used by thousands of sources is looked up once per
// source, and many headers may share a final path component.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "coverage/model.h"

namespace qar {

struct TextViewHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>{}(text); }
};

// Header files by the texts that a name sameHeaderPath calls equal must
// share with them (all in the compared form of the names): the whole name;
// every part after a "/" (component suffix); every part after a "./".
// Each list holds positions in `files`, which is in list order.
struct HeaderFileIndex {
  using Lists = std::unordered_map<std::string, std::vector<uint32_t>, TextViewHash, std::equal_to<>>;
  std::vector<MonitoredFile*> files;
  Lists byName;
  Lists byComponentSuffix;
  Lists byDotSlashTail;
  std::string scratch;  // the compared form of the name being looked up
  // Headers already found, by the exact text of the name asked for. A file
  // entered later follows the one found in the list, so what was found once
  // stays the answer: a header named by thousands of sources is looked up in
  // the lists once.
  std::unordered_map<std::string, MonitoredFile*, TextViewHash, std::equal_to<>> found;
};

// Enters a header file that follows every file entered before it in the list.
void addHeaderFile(HeaderFileIndex& index, MonitoredFile& file);

// The first header file in list order whose name sameHeaderPath calls equal
// to `name`, or nullptr.
MonitoredFile* findHeaderFile(HeaderFileIndex& index, std::string_view name);

}  // namespace qar
