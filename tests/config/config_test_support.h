#pragma once
// Set-up shared by the configuration tests: a fresh table and diagnostics,
// a temporary working directory, and the environment put back afterwards.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
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
    char buffer[4096];
    savedDirectory_ = getcwd(buffer, sizeof buffer) ? buffer : "/";
    ASSERT_EQ(chdir(work_.path().c_str()), 0);
    for (const char* name : {"QARHOME", "QARINIT"}) unsetVariable(name);
  }

  void TearDown() override {
    (void)chdir(savedDirectory_.c_str());
    for (const auto& [name, value] : savedEnvironment_) {
      if (value) {
        setenv(name.c_str(), value->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
    resetConfiguration();
  }

  void setVariable(const std::string& name, const std::string& value) {
    remember(name);
    setenv(name.c_str(), value.c_str(), 1);
  }

  void unsetVariable(const std::string& name) {
    remember(name);
    unsetenv(name.c_str());
  }

  // The text of `parameter` in the given section of the run's table.
  std::optional<std::string> slot(size_t section, ConfigParameter parameter) {
    return configTable().sections.at(section).values[static_cast<int>(parameter)];
  }

  TempDir work_;

 private:
  void remember(const std::string& name) {
    if (savedEnvironment_.count(name)) return;
    const char* value = std::getenv(name.c_str());
    savedEnvironment_[name] = value ? std::optional<std::string>(value) : std::nullopt;
  }

  std::string savedDirectory_;
  std::map<std::string, std::optional<std::string>> savedEnvironment_;
};

}  // namespace qar::test
