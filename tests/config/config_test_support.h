#pragma once
// Set-up shared by the configuration tests: a fresh table and diagnostics,
// a temporary working directory, and the environment put back afterwards.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "config/configuration.h"
#include "test_support.h"

namespace qar::test {

class ConfigTestBase : public ::testing::Test {
 protected:
  void SetUp() override {
    resetDiagnostics();
    resetConfiguration();
    savedDirectory_ = std::filesystem::current_path();
    std::filesystem::current_path(work_.path());
    setVariable("QARHOME", std::nullopt);
    setVariable("QARINIT", std::nullopt);
  }

  void TearDown() override {
    std::filesystem::current_path(savedDirectory_);
    for (const auto& [name, value] : savedEnvironment_) setVariable(name, value);
    resetConfiguration();
  }

  // Sets (or with nullopt unsets) an environment variable until the test ends.
  void setVariable(const std::string& name, const std::optional<std::string>& value) {
    if (!savedEnvironment_.count(name)) {
      const char* old = std::getenv(name.c_str());
      savedEnvironment_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value) {
      setenv(name.c_str(), value->c_str(), 1);
    } else {
      unsetenv(name.c_str());
    }
  }

  std::optional<std::string> slot(size_t section, ConfigParameter parameter) {
    return configTable().sections.at(section).values[static_cast<int>(parameter)];
  }

  TempDir work_;

 private:
  std::filesystem::path savedDirectory_;
  std::map<std::string, std::optional<std::string>> savedEnvironment_;
};

}  // namespace qar::test
