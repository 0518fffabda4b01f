#include "export/formats/cobertura_export.h"

#include "base/clock.h"
#include "base/quick_format.h"
#include "export/walk/export_numbers.h"
#include "base/version.h"
#include "export/walk/export_paths.h"
#include "export/output/export_text.h"

namespace qar {
namespace {

constexpr const char* kProlog = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

std::string rootTag(const LineCoverage& total, std::time_t timestamp) {
  std::string tag = "<coverage line-rate=\"" + coberturaRate(total.lines.hit, total.lines.found) +
                    "\" branch-rate=\"" + coberturaRate(total.branches.hit, total.branches.found) +
                    "\" lines-covered=\"";
  appendDecimal(tag, total.lines.hit);
  tag += "\" lines-valid=\"";
  appendDecimal(tag, total.lines.found);
  tag += "\" branches-covered=\"";
  appendDecimal(tag, total.branches.hit);
  tag += "\" branches-valid=\"";
  appendDecimal(tag, total.branches.found);
  tag += "\" complexity=\"0\" version=\"" + programVersion() + "\" timestamp=\"";
  appendSigned(tag, static_cast<int64_t>(timestamp));
  tag += "\"";
  return tag;
}

// Room for the root tag with the widest figures: rates of six characters
// and counts of ten digits.
size_t rootTagRoom(std::time_t timestamp) {
  LineCoverage widest;
  widest.lines = {UINT32_MAX, UINT32_MAX - 1};
  widest.branches = widest.lines;
  return rootTag(widest, timestamp).size();
}

// The rate as coberturaRate gives it: a count of ten digits at most, a
// point and four digits.
constexpr size_t kRateRoom = kDecimalRoom + 5;
void putRate(TextRoom& room, uint32_t hit, uint32_t found) {
  if (found == 0) {
    room.put("1.0000");
    return;
  }
  const uint64_t tenThousandths = uint64_t{hit} * 10000 / found;
  const uint64_t fraction = tenThousandths % 10000;
  room.number(tenThousandths / 10000).put('.');
  for (uint64_t digit = 1000; digit > 0; digit /= 10) room.put(static_cast<char>('0' + fraction / digit % 10));
}

constexpr size_t kRatesRoom = 64 + 2 * kRateRoom;
void putRates(TextRoom& room, const CoverageCount& lines, const CoverageCount& branches) {
  room.put(" line-rate=\"");
  putRate(room, lines.hit, lines.found);
  room.put("\" branch-rate=\"");
  putRate(room, branches.hit, branches.found);
  room.put("\" complexity=\"0\"");
}

void appendRates(std::string& text, const CoverageCount& lines, const CoverageCount& branches) {
  TextRoom room(text, kRatesRoom);
  putRates(room, lines, branches);
}

ExportStream& classStream(CoberturaDocument& document) { return document.bodyApart ? document.body : *document.out; }

}  // namespace

std::string coberturaRate(uint32_t hit, uint32_t found) {
  if (found == 0) return "1.0000";
  const uint64_t tenThousandths = uint64_t{hit} * 10000 / found;
  std::string rate;
  appendDecimal(rate, tenThousandths / 10000);
  rate.push_back('.');
  const uint64_t fraction = tenThousandths % 10000;
  for (uint64_t digit = 1000; digit > 0; digit /= 10) rate.push_back(static_cast<char>('0' + fraction / digit % 10));
  return rate;
}

void beginCoberturaDocument(CoberturaDocument& document, ExportStream& out, const std::optional<std::string>& root) {
  document.out = &out;
  document.timestamp = currentTime();
  document.bodyApart = !exportStreamSeekable(out);
  std::string& text = out.buffer;
  if (document.bodyApart) {
    openTemporaryStream(document.body, out.name);
  } else {
    text += kProlog;
    document.rootTagOffset = out.written + static_cast<long>(text.size());
    std::string placeholder = rootTag(LineCoverage{}, document.timestamp);
    placeholder.append(rootTagRoom(document.timestamp) - placeholder.size(), ' ');
    text += placeholder;
    text += ">\n";
  }
  std::string& body = classStream(document).buffer;
  body += "  <sources>\n    <source>";
  appendXmlText(body, root ? *root : std::string("."));
  body += "</source>\n  </sources>\n  <packages>\n";
}

void writeCoberturaClass(CoberturaDocument& document, const PathTable& table, const std::vector<std::string>& names,
                         const std::vector<LineCoverage>& functions, const LineCoverage& coverage) {
  ExportStream& out = classStream(document);
  std::string& text = out.buffer;
  std::string_view directory = exportDirectory(table.path);
  text += "    <package name=\"";
  appendXmlText(text, directory.empty() ? std::string_view(".") : directory);
  text += "\"";
  appendRates(text, coverage.lines, coverage.branches);
  text += ">\n      <classes>\n        <class name=\"";
  appendXmlText(text, table.path);
  text += "\" filename=\"";
  appendXmlText(text, table.path);
  text += "\"";
  appendRates(text, coverage.lines, coverage.branches);
  text += ">\n          <methods>\n";

  for (size_t i = 0; i < table.functions.size(); ++i) {
    const LocatedFunction& function = table.functions[i];
    const LineCoverage& own = functions[i];
    text += "            <method name=\"";
    appendXmlText(text, names[i]);
    {
      TextRoom room(text, 160 + kRatesRoom + 2 * kDecimalRoom);
      room.put("\" signature=\"\"");
      putRates(room, own.lines, own.branches);
      room.put(">\n              <lines>\n                <line number=\"")
          .number(function.line)
          .put("\" hits=\"")
          .number(function.calls)
          .put("\"/>\n              </lines>\n            </method>\n");
    }  // the room is trimmed before the buffer may go to the file
    settleExportBuffer(out);
  }
  text += "          </methods>\n          <lines>\n";
  forEachLine(table, [&](const LineHits& line, const LineBranches& branches) {
    {
      // The longest line: a branch line, every number at its widest.
      TextRoom room(text, 128 + 5 * kDecimalRoom);
      room.put("            <line number=\"").number(line.line).put("\" hits=\"").number(line.hits);
      if (branches.found == 0) {
        room.put("\" branch=\"false\"/>\n");
      } else {
        room.put("\" branch=\"true\" condition-coverage=\"")
            .number(uint64_t{branches.hit} * 100 / branches.found)
            .put("% (")
            .number(branches.hit)
            .put('/')
            .number(branches.found)
            .put(")\"/>\n");
      }
    }  // the room is trimmed before the buffer may go to the file
    settleExportBuffer(out);
  });
  text += "          </lines>\n        </class>\n      </classes>\n    </package>\n";
  settleExportBuffer(out);
}

void endCoberturaDocument(CoberturaDocument& document, const LineCoverage& total) {
  ExportStream& out = *document.out;
  classStream(document).buffer += "  </packages>\n</coverage>\n";
  std::string tag = rootTag(total, document.timestamp);
  if (document.bodyApart) {
    out.buffer += kProlog;
    out.buffer += tag;
    out.buffer += ">\n";
    appendTemporaryStream(out, document.body);
    return;
  }
  tag.append(rootTagRoom(document.timestamp) - tag.size(), ' ');
  overwriteExportStream(out, document.rootTagOffset, tag);
}

}  // namespace qar
