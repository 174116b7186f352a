#include "plovik/tables/orderings.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace plovik::tables {
namespace {

int sign(std::strong_ordering order) { return order < 0 ? -1 : order > 0 ? 1 : 0; }

TEST(Orderings, FullLowerCaseUsesFinalSigmaAndMultiCharacterMappings) {
  EXPECT_EQ(full_lower_case("REPORT"), "report");
  EXPECT_EQ(full_lower_case("\xce\x9f\xce\x94\xce\x9f\xce\xa3"), "\xce\xbf\xce\xb4\xce\xbf\xcf\x82");  // ΟΔΟΣ → οδος (final ς)
  EXPECT_EQ(full_lower_case("\xce\xa3\xce\x91"), "\xcf\x83\xce\xb1");  // ΣΑ → σα (not final)
  EXPECT_EQ(full_lower_case("\xc4\xb0"), "i\xcc\x87");                // İ → i + combining dot
}

TEST(Orderings, PathOrderComparesComponents) {
  struct Case {
    const char* a;
    const char* b;
    int expected;
  };
  const Case cases[] = {
      {"dir/x", "dir-x", -1}, {"a//b", "a/b", 0}, {"a/./b", "a/b", 0},  {"a/b/", "a/b", 0},
      {"/z", "a", -1},        {"../a", "a", -1},  {"./a", "../a", -1},  {"a", "a/b", -1},
      {"Zeta", "alpha", -1},  {"abc", "abcd", -1}, {"a/\xc3\xbc", "a/z", 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(sign(path_order(c.a, c.b)), c.expected) << c.a << " vs " << c.b;
    EXPECT_EQ(sign(path_order(c.b, c.a)), -c.expected) << c.b << " vs " << c.a;
  }
}

TEST(Orderings, NamePlanAndLabelPairOrdersAreStableSorts) {
  std::vector<NamePlanEntry> entries = {
      {"report", "report.csv", "P::report", "table", "P::report", 0},
      {"Report", "Report.csv", "P::Report", "table", "P::Report", 1},
      {"a", "a.csv", "Q::a", "table", "Q::a", 2},
      {"report", "report.csv", "P::report", "table", "P::report", 3},
  };
  std::ranges::stable_sort(entries, [](const auto& a, const auto& b) { return name_plan_order(a, b) < 0; });
  std::vector<std::uint64_t> positions;
  for (const auto& e : entries) positions.push_back(e.position);
  EXPECT_EQ(positions, (std::vector<std::uint64_t>{2, 1, 0, 3}));

  std::vector<LabelPair> pairs = {{"b", "x"}, {"a", "y"}, {"a", "x"}, {"B", "z"}};
  std::ranges::stable_sort(pairs, [](const auto& a, const auto& b) { return label_pair_order(a, b) < 0; });
  std::vector<std::string> shown;
  for (const auto& p : pairs) shown.push_back(p.row_label + p.column_label);
  EXPECT_EQ(shown, (std::vector<std::string>{"Bz", "ax", "ay", "bx"}));

  ContentionGroup late{{{"l", "f", 7}, {"m", "g", 2}}};
  ContentionGroup early{{{"n", "h", 3}, {"o", "i", 9}}};
  EXPECT_EQ(sign(contention_group_order(early, late)), -1);
  EXPECT_EQ(sign(qualified_name_order({"x", "", "Element"}, {"y", "A", "Element"})), -1);
}

}  // namespace
}  // namespace plovik::tables
