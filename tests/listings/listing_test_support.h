#pragma once
// Set-up shared by the listing tests: clean process-wide state, a fixed
// clock, and a listing written to a temporary file and read back whole.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "config/configuration.h"
#include "coverage/database.h"
#include "cmdline/postcmdl.h"
#include "listings/mcdc.h"
#include "listings/postlist.h"
#include "listings/statement_analysis.h"
#include "test_support.h"

namespace qar::test {

class ListingTestBase : public ::testing::Test {
 protected:
  void SetUp() override {
    resetDiagnostics();
    resetDatabase();
    resetConfiguration();
    resetListingStream();
    resetMcdc();
    setOptions(OptionSettings{});
    setenv("TZ", "UTC", 1);
    setenv("SOURCE_DATE_EPOCH", "1700000000", 1);  // Tue Nov 14 22:13:20 2023
  }

  void TearDown() override {
    resetListingStream();
    setReachedFlagSource(nextReachedFlag);
    setOptions(OptionSettings{});
    unsetenv("SOURCE_DATE_EPOCH");
  }

  void setWidth(uint32_t width) {
    OptionSettings settings;
    settings.listingWidth = width;
    setOptions(settings);
  }

  // Opens a listing on a temporary file, runs `body`, closes it and returns
  // everything written.
  std::string listingOf(const std::function<void()>& body) {
    std::string path = dir_.file("listing.txt");
    openListing(path);
    body();
    closeListing();
    return readFile(path);
  }

  // The one line that `body` places in the line buffer, without its "\n".
  std::string lineOf(const std::function<void()>& body) {
    std::string text = listingOf([&] {
      body();
      flushListingLine();
    });
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n');
    return text.substr(0, text.size() - 1);
  }

  TempDir dir_;
};

}  // namespace qar::test
