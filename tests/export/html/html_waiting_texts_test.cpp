// The texts of pages waiting for their cards: kept in a file without a name
// in the report's directory, or in memory where there can be none, and
// given back byte for byte either way.
#include "export/html/html_waiting_texts.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"

namespace qar {
namespace {

std::vector<std::string> someTexts() {
  std::vector<std::string> texts{"<html>first</html>", "", std::string(1 << 20, 'x') + "end"};
  std::string binary;
  for (int i = 0; i < 512; ++i) binary += static_cast<char>(i);
  texts.push_back(binary);
  return texts;
}

void expectKeptAndTaken(const std::string& directory) {
  WaitingTexts waiting;
  const std::vector<std::string> texts = someTexts();
  std::vector<size_t> numbers;
  for (const std::string& text : texts) numbers.push_back(waiting.keep(directory, text));
  // Taken back in another order than kept.
  for (size_t i = texts.size(); i-- > 0;) {
    std::string text = "left over";
    ASSERT_TRUE(waiting.take(numbers[i], text));
    EXPECT_EQ(text, texts[i]) << "text " << i;
  }
  waiting.clear();
  EXPECT_EQ(waiting.keep(directory, "again"), 0u);
  std::string again;
  ASSERT_TRUE(waiting.take(0, again));
  EXPECT_EQ(again, "again");
}

// Whether the process has a file open inside `directory`.
bool hasFileOpenIn(const std::filesystem::path& directory) {
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
    if (!error && target.starts_with(directory.string() + "/")) return true;
  }
  return false;
}

TEST(WaitingTexts, ComeBackFromAFileTheDirectoryDoesNotShow) {
  test::TempDir dir;
  expectKeptAndTaken(dir.path().string());
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  WaitingTexts waiting;
  waiting.keep(dir.path().string(), "a page");
  EXPECT_TRUE(hasFileOpenIn(dir.path()));  // the text is in the file, not in memory
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  waiting.clear();
  EXPECT_FALSE(hasFileOpenIn(dir.path()));
}

TEST(WaitingTexts, WaitInMemoryWhereNoFileCanBeHad) {
  test::TempDir dir;
  expectKeptAndTaken(dir.file("no such directory"));
  expectKeptAndTaken("/proc/self");
}

}  // namespace
}  // namespace qar
