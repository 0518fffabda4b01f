#include <gtest/gtest.h>

#include <string>

#include "export/html/html_parts.h"

namespace qar {
namespace {

std::string percentText(uint64_t covered, uint64_t items) {
  std::string out;
  appendPercentText(out, covered, items);
  return out;
}

TEST(HtmlParts, PercentagesAreTenthsTruncatedNeverFullBeforeComplete) {
  EXPECT_EQ(percentText(7, 9), "77.7 %");
  EXPECT_EQ(percentText(1999, 2000), "99.9 %");    // 99.95 stays below 100
  EXPECT_EQ(percentText(99999, 100000), "99.9 %");
  EXPECT_EQ(percentText(5, 5), "100.0 %");
  EXPECT_EQ(percentText(0, 3), "0.0 %");
  EXPECT_EQ(percentText(1, 3), "33.3 %");
}

TEST(HtmlParts, NothingToCountIsADashEverywhere) {
  const HtmlFigure empty{"Branches", 100, 0, 0, "branches", {}};
  std::string card;
  appendFigureCard(card, empty);
  EXPECT_NE(card.find("&mdash;"), std::string::npos);
  EXPECT_NE(card.find("no branches"), std::string::npos);
  EXPECT_EQ(card.find('%'), std::string::npos);  // neither a percentage nor a bar

  std::string cell;
  appendFigureCell(cell, empty);
  std::string na;
  appendEmptyFigureCell(na);
  EXPECT_EQ(cell, na);

  std::string indexCell;
  appendIndexFigureCell(indexCell, empty);
  std::string indexNa;
  appendIndexEmptyCell(indexNa);
  EXPECT_EQ(indexCell, indexNa);
}

TEST(HtmlParts, CountedFigureShowsTenthsAndItsCounts) {
  std::string card;
  appendFigureCard(card, HtmlFigure{"Lines", 77, 7, 9, "lines", {}});
  EXPECT_NE(card.find("77.7 %"), std::string::npos);
  EXPECT_NE(card.find("7 of 9 lines"), std::string::npos);
  std::string cell;
  appendIndexFigureCell(cell, HtmlFigure{"Lines", 77, 7, 9, "lines", {}});
  EXPECT_EQ(cell, "<td class=p77>77.7 %<small>7/9</small></td>");
}

}  // namespace
}  // namespace qar
