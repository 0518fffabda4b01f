#include "export/change/code_lines.h"

#include <string>

namespace qar {
namespace {

enum class State { Code, BlockComment, LineComment, String, Character, RawString };

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

// Whether a quote at `at` opens a raw string: R, with an optional encoding
// prefix (u8R, uR, UR, LR) that is not the end of a longer name.
bool opensRawString(std::string_view s, size_t at) {
  if (at == 0 || s[at - 1] != 'R') return false;
  size_t start = at - 1;
  if (start >= 2 && s.substr(start - 2, 2) == "u8") {
    start -= 2;
  } else if (start >= 1 && (s[start - 1] == 'u' || s[start - 1] == 'U' || s[start - 1] == 'L')) {
    start -= 1;
  }
  if (start == 0) return true;
  const char before = s[start - 1];
  const bool nameChar = (before >= 'a' && before <= 'z') || (before >= 'A' && before <= 'Z') ||
                        (before >= '0' && before <= '9') || before == '_';
  return !nameChar;
}

}  // namespace

std::vector<bool> codeLines(std::string_view s) {
  std::vector<bool> lines;
  State state = State::Code;
  bool code = false;
  std::string rawEnd;  // ")delimiter\"" that closes the raw string
  for (size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '\n') {
      lines.push_back(code);
      code = state == State::RawString;
      // A backslash before the line end continues a line comment or a literal.
      const bool continued = i > 0 && (s[i - 1] == '\\' || (s[i - 1] == '\r' && i > 1 && s[i - 2] == '\\'));
      if (!continued && (state == State::LineComment || state == State::String || state == State::Character)) {
        state = State::Code;
      }
      if (state == State::String || state == State::Character) code = true;
      continue;
    }
    switch (state) {
      case State::Code:
        if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
          state = State::BlockComment;
          ++i;
        } else if (c == '/' && i + 1 < s.size() && s[i + 1] == '/') {
          state = State::LineComment;
          ++i;
        } else if (c == '"') {
          code = true;
          if (opensRawString(s, i)) {
            const size_t open = s.find('(', i + 1);
            const size_t lineEnd = s.find('\n', i + 1);
            if (open != std::string_view::npos && open < lineEnd) {
              rawEnd = ")" + std::string(s.substr(i + 1, open - i - 1)) + "\"";
              state = State::RawString;
              i = open;
              break;
            }
          }
          state = State::String;
        } else if (c == '\'') {
          code = true;
          // A digit separator (1'000) is not a character literal.
          const bool separator = i > 0 && s[i - 1] >= '0' && s[i - 1] <= '9' && i + 1 < s.size() &&
                                 ((s[i + 1] >= '0' && s[i + 1] <= '9') || (s[i + 1] >= 'a' && s[i + 1] <= 'f') ||
                                  (s[i + 1] >= 'A' && s[i + 1] <= 'F'));
          if (!separator) state = State::Character;
        } else if (!isBlank(c) && c != '\\') {
          code = true;
        }
        break;
      case State::BlockComment:
        if (c == '*' && i + 1 < s.size() && s[i + 1] == '/') {
          state = State::Code;
          ++i;
        }
        break;
      case State::LineComment:
        break;
      case State::String:
      case State::Character:
        if (c == '\\') {
          if (i + 1 < s.size() && s[i + 1] != '\n') ++i;
        } else if ((c == '"' && state == State::String) || (c == '\'' && state == State::Character)) {
          state = State::Code;
        }
        break;
      case State::RawString:
        code = true;
        if (s.compare(i, rawEnd.size(), rawEnd) == 0) {
          i += rawEnd.size() - 1;
          state = State::Code;
        }
        break;
    }
  }
  if (!s.empty() && s.back() != '\n') lines.push_back(code);
  return lines;
}

}  // namespace qar
