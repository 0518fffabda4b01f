#include "cmdline/options_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <memory>

#include "base/posterr.h"
#include "base/file_handle.h"
#include "base/text.h"

namespace qar {
namespace {

bool isOptionsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Identity of an options file being expanded, to find self-inclusion however
// the file is named (another relative path, a link).
struct FileIdentity {
  dev_t device;
  ino_t inode;
};

std::string readWholeOptionsFile(const std::string& fileName, FileIdentity& identity) {
  FileHandle file(std::fopen(fileName.c_str(), "r"));
  if (!file) {
    setErrorArguments(fileName, systemErrorText(errno));
    failWith(kCannotOpen);
  }
  struct stat status {};
  if (fstat(fileno(file.get()), &status) == 0) identity = {status.st_dev, status.st_ino};

  std::string text;
  char buffer[1 << 16];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) text.append(buffer, got);
  if (std::ferror(file.get())) {
    setErrorArguments(fileName, systemErrorText(errno));
    failWith(kCannotRead);
  }
  if (std::fclose(file.release()) != 0) {
    setErrorArguments(fileName, systemErrorText(errno));
    failWith(kCannotClose);
  }
  return text;
}

void expandOptionsFile(const std::string& fileName, std::vector<std::string>& arguments,
                       std::vector<FileIdentity>& openChain) {
  FileIdentity identity{0, 0};
  std::string text = readWholeOptionsFile(fileName, identity);
  for (const FileIdentity& open : openChain) {
    if (open.device == identity.device && open.inode == identity.inode) {
      setErrorArguments("options file includes itself:", fileName);
      failWith(kBadCommandLine);
    }
  }
  openChain.push_back(identity);
  for (std::string& token : tokenizeOptionsText(text)) {
    if (!token.empty() && token[0] == '@') {
      expandOptionsFile(token.substr(1), arguments, openChain);
    } else {
      arguments.push_back(std::move(token));
    }
  }
  openChain.pop_back();
}

}  // namespace

std::vector<std::string> tokenizeOptionsText(std::string_view text) {
  std::vector<std::string> tokens;
  size_t pos = 0;
  char previous = '\n';  // the start of the file counts as a line start
  const size_t end = text.size();
  while (pos < end) {
    char c = text[pos];
    if (isOptionsWhiteSpace(c)) {
      previous = c;
      ++pos;
      continue;
    }
    if (c == '#' && previous == '\n') {
      while (pos < end && text[pos] != '\n') ++pos;
      if (pos < end) {
        previous = '\n';
        ++pos;
      }
      continue;
    }
    if (c == '"') {
      if (pos + 1 == end) break;  // a quote as the file's last character gives no token
      size_t close = text.find('"', pos + 1);
      if (close == std::string_view::npos) {
        tokens.emplace_back(text.substr(pos + 1));
        break;
      }
      tokens.emplace_back(text.substr(pos + 1, close - pos - 1));
      previous = '"';
      pos = close + 1;
      // The character right after the closing quote is passed over unread.
      if (pos < end) {
        previous = text[pos];
        ++pos;
      }
      continue;
    }
    size_t start = pos;
    while (pos < end && !isOptionsWhiteSpace(text[pos])) ++pos;
    tokens.emplace_back(text.substr(start, pos - start));
    previous = text[pos - 1];
  }
  return tokens;
}

void appendOptionsFileTokens(const std::string& fileName, std::vector<std::string>& arguments) {
  std::vector<FileIdentity> openChain;
  expandOptionsFile(fileName, arguments, openChain);
}

}  // namespace qar
