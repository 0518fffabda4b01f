#pragma once
// SonarQube's generic coverage format (version 1): per written file, every
// instrumented line, covered or not, with its branches where it has any.
#include "export/output/export_stream.h"
#include "export/walk/path_table.h"

namespace qar {

void beginSonarDocument(ExportStream& out);
void writeSonarFile(ExportStream& out, const PathTable& table);
void endSonarDocument(ExportStream& out);

}  // namespace qar
