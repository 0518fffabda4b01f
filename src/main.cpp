#include "driver/program.h"

int main(int argc, char** argv) { return qar::runProgramAndExit(argc, argv); }
