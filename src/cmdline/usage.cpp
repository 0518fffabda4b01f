#include <string>

#include "cmdline/postcmdl.h"
#include "base/standard_output.h"
#include "base/version.h"

namespace qar {

void printUsage() {
  std::string text =
      "\n"
      "This is Tarvo (v" + programVersion() + ") Postprocessor utility, used for producing coverage and\n"
      "timing reports of the tests, for adding datafiles, for adding symbolfiles,\n"
      "and for listing file names in symbolfiles and datafiles.\n"
      "\n"
      "Usage:\n"
      "qarpost [general-options] [symbolfile]... [datafile]...\n"
      "        [-ff|-fd|-fc|-fmcdc] [-nhe] [-w rptwidth] {{-p|-u|-t|-x} rptfile}...\n"
      "qarpost [general-options] datafile... -a target-datafile\n"
      "qarpost [general-options] symbolfile... -a target-symbolfile\n"
      "qarpost [general-options] {-l|-L} {symbolfile|datafile}...\n"
      "\n"
      "[general-options]:\n"
      "   [-h] [-V] [@optionsfile]...\n"
      "   [-c conf-file[;conf-file]...]... [-C conf-param{=value|+value}]...\n"
      "   [-f source-file[;source-file]...]... [-nf source-file[;source-file]...]...\n"
      "\n"
      "Read more from 'man qarpost' or from the 'doc' subdirectory of %QARHOME%.\n"
      "\n";
  writeStandardOutput(text);
}

}  // namespace qar
