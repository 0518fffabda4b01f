#include "export/change/baseline_reader.h"

#include <fstream>
#include <iterator>
#include <utility>

#include "export/change/json_tree.h"

namespace qar {
namespace {

BaselineResult refused(std::string why) { return BaselineResult{std::nullopt, std::move(why)}; }

bool branchKindOf(const std::string& word, BranchKind& kind) {
  for (BranchKind k : {BranchKind::True, BranchKind::False, BranchKind::Constant, BranchKind::Case,
                       BranchKind::Default, BranchKind::MissingDefault}) {
    if (word == branchKindName(k)) {
      kind = k;
      return true;
    }
  }
  return false;
}

// An array of `count` numbers ("[3, 1]"), the last one possibly a branch kind.
bool countsArray(JsonCursor& in, uint32_t* counts, size_t count, BranchKind* kind = nullptr) {
  if (!in.beginArray()) return false;
  for (size_t i = 0; i < count; ++i) {
    if (!in.nextItem() || !in.count(counts[i])) return false;
  }
  if (kind) {
    std::string word;
    if (!in.nextItem() || !in.string(word) || !branchKindOf(word, *kind)) return false;
  }
  return !in.nextItem() && !in.failed();
}

// Reads an array, each item through `item`.
template <typename Item>
bool arrayOf(JsonCursor& in, Item item) {
  if (!in.beginArray()) return false;
  while (in.nextItem()) {
    if (!item()) return false;
  }
  return !in.failed();
}

// Reads an object's members through `member(key)`, which returns false for a
// malformed value; members it does not know it skips itself.
template <typename Member>
bool objectOf(JsonCursor& in, Member member) {
  if (!in.beginObject()) return false;
  std::string key;
  while (in.nextMember(key)) {
    if (!member(key)) return false;
  }
  return !in.failed();
}

bool readFunction(JsonCursor& in, BaselineFunction& function) {
  bool name = false, line = false, calls = false;
  return objectOf(in,
                  [&](const std::string& key) {
                    if (key == "name") return name = in.string(function.name);
                    if (key == "line") return line = in.count(function.line);
                    if (key == "calls") return calls = in.count(function.calls);
                    return in.skip();
                  }) &&
         name && line && calls;
}

bool readSource(JsonCursor& in, BaselineSource& source) {
  bool path = false, functions = false, lines = false, branches = false;
  return objectOf(in,
                  [&](const std::string& key) {
                    if (key == "path") return path = in.string(source.path);
                    if (key == "functions") {
                      return functions = arrayOf(in, [&] { return readFunction(in, source.functions.emplace_back()); });
                    }
                    if (key == "lines") {
                      return lines = arrayOf(in, [&] {
                               uint32_t pair[2] = {};
                               if (!countsArray(in, pair, 2)) return false;
                               source.lines.push_back(LineHits{pair[0], pair[1]});
                               return true;
                             });
                    }
                    if (key == "branches") {
                      return branches = arrayOf(in, [&] {
                               uint32_t n[4] = {};
                               BranchKind kind = BranchKind::True;
                               if (!countsArray(in, n, 4, &kind)) return false;
                               source.branches.push_back(BranchCount{n[0], n[1], n[2], n[3], kind});
                               return true;
                             });
                    }
                    return in.skip();
                  }) &&
         path && functions && lines && branches;
}

bool readMulticondition(JsonCursor& in, std::vector<BaselineCondition>& conditions) {
  // The line may follow the conditions in a document written by hand.
  const size_t first = conditions.size();
  uint32_t line = 0;
  bool hasLine = false, hasConditions = false;
  const bool read = objectOf(in, [&](const std::string& key) {
    if (key == "line") return hasLine = in.count(line);
    if (key == "conditions") {
      return hasConditions = arrayOf(in, [&] {
               BaselineCondition& c = conditions.emplace_back();
               bool number = false, covered = false;
               return objectOf(in,
                               [&](const std::string& k) {
                                 if (k == "condition") return number = in.count(c.number);
                                 if (k == "covered") return covered = in.boolean(c.covered);
                                 return in.skip();
                               }) &&
                      number && covered;
             });
    }
    return in.skip();
  });
  for (size_t i = first; i < conditions.size(); ++i) conditions[i].line = line;
  return read && hasLine && hasConditions;
}

bool readFile(JsonCursor& in, BaselineFile& file) {
  bool path = false, lines = false, statements = false, functions = false;
  return objectOf(in,
                  [&](const std::string& key) {
                    if (key == "path") return path = in.string(file.path);
                    if (key == "source_lines") return lines = in.count(file.sourceLines);
                    if (key == "statements") {
                      bool hits = false, total = false;
                      return statements = objectOf(in,
                                                   [&](const std::string& k) {
                                                     if (k == "hits") return hits = in.count(file.statementHits);
                                                     if (k == "total") return total = in.count(file.statementTotal);
                                                     return in.skip();
                                                   }) &&
                                          hits && total;
                    }
                    if (key == "functions") {
                      return functions = arrayOf(in, [&] {
                               bool multiconditions = false;
                               return objectOf(in,
                                               [&](const std::string& k) {
                                                 if (k != "multiconditions") return in.skip();
                                                 return multiconditions = arrayOf(in, [&] {
                                                          return readMulticondition(in, file.conditions);
                                                        });
                                               }) &&
                                      multiconditions;
                             });
                    }
                    return in.skip();
                  }) &&
         path && lines && statements && functions;
}

}  // namespace

BaselineResult parseBaseline(std::string_view text) {
  // The syntax first, without keeping anything: a cut or malformed file is
  // named as such before its parts are read.
  {
    JsonCursor syntax(text);
    if (syntax.skip() && !syntax.atEnd()) syntax.fail("text after the document");
    if (syntax.failed()) return refused("not a JSON document: " + syntax.error());
  }
  // Then the parts a later run is compared with, straight into their
  // records: an export of a large code base holds millions of numbers.
  JsonCursor in(text);
  if (in.peek() != '{') return refused("not a JSON export of qarpost-export");
  Baseline baseline;
  bool ours = false, sources = false, files = false, versionRead = false;
  uint32_t version = 0;
  std::string malformed;  // the entry that was not as an export writes it
  auto entries = [&](const char* part, auto& list, auto read) {
    size_t number = 0;
    return arrayOf(in, [&] {
      ++number;
      if (read(in, list.emplace_back())) return true;
      malformed = "malformed entry " + std::to_string(number) + " of " + part;
      return false;
    });
  };
  const bool whole = objectOf(in, [&](const std::string& key) {
    if (key == "generator") {
      return objectOf(in, [&](const std::string& k) {
        if (k != "name" || in.peek() != '"') return in.skip();
        std::string name;
        if (!in.string(name)) return false;
        ours = name == "qarpost-export";
        return true;
      });
    }
    if (key == "format_version") {
      if (in.peek() != '-' && (in.peek() < '0' || in.peek() > '9')) return in.skip();
      std::string digits;
      if (!in.numberText(digits)) return false;
      versionRead = digits == "1" || digits == "2";
      version = versionRead ? static_cast<uint32_t>(digits[0] - '0') : 0;
      return true;
    }
    if (key == "sources" && ours) return sources = entries("sources", baseline.sources, readSource);
    if (key == "files" && ours) return files = entries("files", baseline.files, readFile);
    return in.skip();
  });
  if (!ours) return refused("not a JSON export of qarpost-export");
  if (!versionRead) return refused("format_version not 1 or 2");
  if (!whole) return refused(malformed.empty() ? "not as the export writes it: " + in.error() : malformed);
  if (!sources) return refused("no sources in the export");
  if (!files) return refused("no files in the export");
  baseline.formatVersion = static_cast<int>(version);
  return BaselineResult{std::move(baseline), {}};
}

BaselineResult readBaselineFile(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) return refused("cannot be read");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return refused("cannot be read");
  return parseBaseline(text);
}

}  // namespace qar
