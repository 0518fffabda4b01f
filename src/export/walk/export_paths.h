#pragma once
// File names as the exports write them, and when two of them are one file.
#include <optional>
#include <string>
#include <string_view>

namespace qar {

// Without a root, `name` as read. With one, backslashes become "/" and a
// name below the root (compared as this system compares file names: ASCII
// letters regardless of case) is written relative to it.
std::string exportPath(std::string_view name, const std::optional<std::string>& root);

// The key under which written names of one file meet: ASCII letters made
// small, "/" for backslash, no "." components and no doubled "/", as a
// consumer resolving the names against one directory would treat them.
std::string exportPathKey(std::string_view path);

// The directory part of a written name ("" when it has none).
std::string_view exportDirectory(std::string_view path);

}  // namespace qar
