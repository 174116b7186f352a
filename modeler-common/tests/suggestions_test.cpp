#include "kestro/modeler/suggestions.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

namespace kestro::modeler {
namespace {

using Names = std::vector<std::string>;

TEST(Suggestions, SimilarityOfLowerCasedScalars) {
  struct Case {
    std::string a, b;
    double similarity;
  };
  const std::vector<Case> cases = {
      {"", "", 1.0},
      {"Table", "tABLE", 1.0},
      // Full lower-casing: U+0130 becomes `i` and a combining dot above.
      {"\u0130", "i\u0307", 1.0},
      // Counted in scalar values, not bytes.
      {"a\u00e9", "ae", 0.5},
      {"abcde", "abxyz", 1.0 - 3.0 / 5.0},
      {"abc", "", 0.0},
  };
  for (const auto& c : cases) EXPECT_EQ(name_similarity(c.a, c.b), c.similarity) << c.a << " / " << c.b;
}

TEST(Suggestions, RanksCandidatesAboveTheThreshold) {
  struct Case {
    std::string input;
    Names candidates;
    std::size_t max;
    Names expected;
  };
  const std::vector<Case> cases = {
      // Exactly 0.4 (three changes in five characters) is dropped.
      {"abcde", {"abxyz", "abcdz"}, 5, {"abcdz"}},
      // A case-only difference scores 1.0 and leads; candidates come back unchanged.
      {"table", {"Tablx", "TABLE"}, 5, {"TABLE", "Tablx"}},
      // Equal scores keep their given order.
      {"abcd", {"abcx", "xbcd", "abxd"}, 5, {"abcx", "xbcd", "abxd"}},
      {"abcd", {"abcx", "xbcd", "abxd"}, 2, {"abcx", "xbcd"}},
      {"abcd", {"abcd"}, 0, {}},
      {"abcd", {}, 5, {}},
      {"", {"", "a"}, 5, {""}},
  };
  for (const auto& c : cases) EXPECT_EQ(suggest_similar_names(c.input, c.candidates, c.max), c.expected) << c.input;
}

TEST(Suggestions, MissingViewsMessage) {
  const std::string head = "Some views not found, were empty, or are not table/matrix views: ";
  struct Case {
    Names missing;
    Names available;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {{"Tabel", "Qq"}, {"Table", "Matrix"}, head + "[\"Tabel\", \"Qq\"]\n  Did you mean (for Tabel)?\n    \"Table\""},
      {{}, {"Table"}, head + "[]"},
      // A missing name is not suggested to itself; with no suggestion the head line stands alone.
      {{"Table"}, {"Table"}, head + "[\"Table\"]"},
      // Quoted and escaped in the head line only; duplicates among the available names are kept.
      {{"a\"b\\\t"}, {"A\"B\\\t", "a\"b\\\t", "A\"B\\\t"},
       head + "[\"a\\\"b\\\\\\t\"]\n  Did you mean (for a\"b\\\t)?\n    \"A\"B\\\t\"\n    \"A\"B\\\t\""},
      {{"x\u0301\u200b"}, {}, head + "[\"x\\u{301}\\u{200b}\"]"},
  };
  for (const auto& c : cases) EXPECT_EQ(render_missing_views_message(c.missing, c.available), c.expected);
}

}  // namespace
}  // namespace kestro::modeler
