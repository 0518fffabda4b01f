#include "selection/header_file_index.h"

#include "base/file_names.h"

namespace qar {
namespace {

void enter(HeaderFileIndex::Lists& lists, std::string_view key, uint32_t position) {
  auto entry = lists.find(key);
  if (entry == lists.end()) entry = lists.emplace(std::string(key), std::vector<uint32_t>{}).first;
  entry->second.push_back(position);
}

// Lowers `best` to the first file of the list under `key` whose name matches.
void firstMatchIn(const HeaderFileIndex& index, const HeaderFileIndex::Lists& lists, std::string_view key,
                  std::string_view name, uint32_t& best) {
  auto entry = lists.find(key);
  if (entry == lists.end()) return;
  for (uint32_t position : entry->second) {
    if (position >= best) return;
    if (sameHeaderPath(index.files[position]->name, name)) {
      best = position;
      return;
    }
  }
}

}  // namespace

void addHeaderFile(HeaderFileIndex& index, MonitoredFile& file) {
  uint32_t position = static_cast<uint32_t>(index.files.size());
  index.files.push_back(&file);
  normaliseHeaderPath(file.name, index.scratch);
  std::string_view form = index.scratch;
  enter(index.byName, form, position);
  for (size_t i = 0; i < form.size(); ++i) {
    if (form[i] != '/') continue;
    enter(index.byComponentSuffix, form.substr(i + 1), position);
    if (i > 0 && form[i - 1] == '.') enter(index.byDotSlashTail, form.substr(i + 1), position);
  }
}

MonitoredFile* findHeaderFile(HeaderFileIndex& index, std::string_view name) {
  if (auto known = index.found.find(name); known != index.found.end()) return known->second;
  normaliseHeaderPath(name, index.scratch);
  std::string_view form = index.scratch;
  uint32_t best = UINT32_MAX;
  // The same name, or a header whose whole name ends this one after a "/".
  firstMatchIn(index, index.byName, form, name, best);
  // A header whose name ends in "/" followed by this whole name.
  firstMatchIn(index, index.byComponentSuffix, form, name, best);
  for (size_t i = 0; i < form.size(); ++i) {
    if (form[i] != '/') continue;
    std::string_view after = form.substr(i + 1);
    firstMatchIn(index, index.byName, after, name, best);
    // The names part at a "./" of the header's name ...
    firstMatchIn(index, index.byDotSlashTail, after, name, best);
    // ... or at a "./" of this name.
    if (i > 0 && form[i - 1] == '.') firstMatchIn(index, index.byComponentSuffix, after, name, best);
  }
  if (best == UINT32_MAX) return nullptr;
  // Not finding is not kept: a header entered later may be the answer.
  index.found.emplace(std::string(name), index.files[best]);
  return index.files[best];
}

}  // namespace qar
