#pragma once
// Options files: arguments kept in a file and named on the command line as @file.
#include <string>
#include <string_view>
#include <vector>

namespace qar {

// Splits the text of an options file into tokens (white space separates,
// "#" after a line end starts a comment, double quotes group). Tokens that
// start with "@" are returned as they are; expansion is the caller's.
std::vector<std::string> tokenizeOptionsText(std::string_view text);

// Reads the options file `fileName` and appends its tokens to `arguments`,
// expanding every token that starts with "@" by the file it names, to any
// depth. A file that includes itself, directly or through others, ends the
// run; so do open, read and close failures (ErrorCodes 14, 16, 6).
void appendOptionsFileTokens(const std::string& fileName, std::vector<std::string>& arguments);

}  // namespace qar
