#include "driver/export_program.h"

int main(int argc, char** argv) { return qar::runExportProgramAndExit(argc, argv); }
