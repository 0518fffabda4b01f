#include "export/change/baseline_reader.h"

#include "export/change/json_tree.h"

#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <utility>

namespace qar {
namespace {

bool toBranchKind(const JsonNode& node, BranchKind& kind) {
  if (node.kind != JsonNode::Kind::String) return false;
  for (BranchKind k : {BranchKind::True, BranchKind::False, BranchKind::Constant, BranchKind::Case,
                       BranchKind::Default, BranchKind::MissingDefault}) {
    if (node.text == branchKindName(k)) {
      kind = k;
      return true;
    }
  }
  return false;
}

BaselineResult refused(std::string why) { return BaselineResult{std::nullopt, std::move(why)}; }

bool readSource(const JsonNode& node, BaselineSource& source) {
  if (node.kind != JsonNode::Kind::Object) return false;
  const JsonNode* path = node.member("path");
  const JsonNode* functions = node.member("functions");
  const JsonNode* lines = node.member("lines");
  const JsonNode* branches = node.member("branches");
  if (!path || path->kind != JsonNode::Kind::String) return false;
  if (!functions || functions->kind != JsonNode::Kind::Array) return false;
  if (!lines || lines->kind != JsonNode::Kind::Array) return false;
  if (!branches || branches->kind != JsonNode::Kind::Array) return false;
  source.path = path->text;
  for (const JsonNode& f : functions->items) {
    BaselineFunction function;
    const JsonNode* name = f.member("name");
    if (!name || name->kind != JsonNode::Kind::String) return false;
    function.name = name->text;
    if (!toCount(f.member("line"), function.line) || !toCount(f.member("calls"), function.calls)) return false;
    source.functions.push_back(std::move(function));
  }
  for (const JsonNode& l : lines->items) {
    LineHits hits;
    if (l.kind != JsonNode::Kind::Array || l.items.size() != 2) return false;
    if (!toCount(&l.items[0], hits.line) || !toCount(&l.items[1], hits.hits)) return false;
    source.lines.push_back(hits);
  }
  for (const JsonNode& b : branches->items) {
    BranchCount branch;
    if (b.kind != JsonNode::Kind::Array || b.items.size() != 5) return false;
    if (!toCount(&b.items[0], branch.line) || !toCount(&b.items[1], branch.block) ||
        !toCount(&b.items[2], branch.branch) || !toCount(&b.items[3], branch.taken) ||
        !toBranchKind(b.items[4], branch.kind)) {
      return false;
    }
    source.branches.push_back(branch);
  }
  return true;
}

bool toFlag(const JsonNode* node, bool& out) {
  if (node == nullptr || node->kind != JsonNode::Kind::Bool) return false;
  out = node->boolean;
  return true;
}

bool readMulticondition(const JsonNode& node, std::vector<BaselineCondition>& conditions) {
  uint32_t line = 0;
  const JsonNode* list = node.member("conditions");
  if (!toCount(node.member("line"), line) || !list || list->kind != JsonNode::Kind::Array) return false;
  for (const JsonNode& c : list->items) {
    BaselineCondition condition;
    condition.line = line;
    if (!toCount(c.member("condition"), condition.number) || !toFlag(c.member("covered"), condition.covered)) {
      return false;
    }
    conditions.push_back(condition);
  }
  return true;
}

bool readFile(const JsonNode& node, BaselineFile& file) {
  if (node.kind != JsonNode::Kind::Object) return false;
  const JsonNode* path = node.member("path");
  const JsonNode* statements = node.member("statements");
  const JsonNode* functions = node.member("functions");
  if (!path || path->kind != JsonNode::Kind::String) return false;
  if (!statements || !functions || functions->kind != JsonNode::Kind::Array) return false;
  file.path = path->text;
  if (!toCount(node.member("source_lines"), file.sourceLines) ||
      !toCount(statements->member("hits"), file.statementHits) ||
      !toCount(statements->member("total"), file.statementTotal)) {
    return false;
  }
  for (const JsonNode& f : functions->items) {
    const JsonNode* multiconditions = f.member("multiconditions");
    if (!multiconditions || multiconditions->kind != JsonNode::Kind::Array) return false;
    for (const JsonNode& m : multiconditions->items) {
      if (!readMulticondition(m, file.conditions)) return false;
    }
  }
  return true;
}

}  // namespace

BaselineResult parseBaseline(std::string_view text) {
  JsonNode root;
  std::string error;
  if (!parseJson(text, root, error)) return refused("not a JSON document: " + error);
  const JsonNode* generator = root.kind == JsonNode::Kind::Object ? root.member("generator") : nullptr;
  const JsonNode* generatorName = generator ? generator->member("name") : nullptr;
  if (!generatorName || generatorName->kind != JsonNode::Kind::String || generatorName->text != "qarpost-export") {
    return refused("not a JSON export of qarpost-export");
  }
  uint32_t version = 0;
  if (!toCount(root.member("format_version"), version) || (version != 1 && version != 2)) {
    return refused("format_version not 1 or 2");
  }
  const JsonNode* sources = root.member("sources");
  if (!sources || sources->kind != JsonNode::Kind::Array) return refused("no sources in the export");
  Baseline baseline;
  baseline.formatVersion = static_cast<int>(version);
  baseline.sources.reserve(sources->items.size());
  for (const JsonNode& node : sources->items) {
    baseline.sources.emplace_back();
    if (!readSource(node, baseline.sources.back())) {
      return refused("malformed entry " + std::to_string(baseline.sources.size()) + " of sources");
    }
  }
  const JsonNode* files = root.member("files");
  if (!files || files->kind != JsonNode::Kind::Array) return refused("no files in the export");
  baseline.files.reserve(files->items.size());
  for (const JsonNode& node : files->items) {
    baseline.files.emplace_back();
    if (!readFile(node, baseline.files.back())) {
      return refused("malformed entry " + std::to_string(baseline.files.size()) + " of files");
    }
  }
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
