#pragma once
// Adding several data files, or several symbol files, into one target file.
#include <string>
#include <vector>

namespace qar {

// Adds the data files into the target data file (-a with a .dat target).
void addDataFiles(const std::vector<std::string>& dataFiles, const std::string& target);

// Adds the symbol files into the target symbol file (-a with another target).
void addSymbolFiles(const std::vector<std::string>& symbolFiles, const std::string& target);

}  // namespace qar
