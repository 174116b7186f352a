// The solver's version set: intersection by form, membership, the derived
// union, disjointness and subset tests, and the text.
#include "kestro/solve/discrete_set.hpp"

#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

namespace kestro::solve {
namespace {

using S = DiscreteHashSet;

TEST(DiscreteHashSet, IntersectionByForm) {
  struct {
    const char* what;
    S a, b, expected;
  } cases[] = {
      {"empty with listed", S::empty(), S::listed({1, 2}), S::empty()},
      {"empty with all-except", S::empty(), S::all_except({1}), S::empty()},
      {"full with listed", S::full(), S::listed({4, 1}), S::listed({1, 4})},
      {"full with all-except", S::full(), S::all_except({3}), S::all_except({3})},
      {"full with itself", S::full(), S::full(), S::full()},
      {"listed with listed", S::listed({1, 2, 3}), S::listed({2, 3, 4}), S::listed({2, 3})},
      {"listed with all-except", S::listed({1, 2, 3}), S::all_except({2, 9}), S::listed({1, 3})},
      {"all-except with all-except", S::all_except({1}), S::all_except({2}), S::all_except({1, 2})},
      {"all-except overlap", S::all_except({1, 2}), S::all_except({2}), S::all_except({1, 2})},
      {"listed minus itself", S::listed({5}), S::all_except({5}), S::empty()},
      {"small with large listed", S::listed({7}), S::listed({1, 2, 3, 4, 5, 6, 7, 8}), S::listed({7})},
      {"with itself", S::listed({3, 1}), S::listed({1, 3}), S::listed({1, 3})},
  };
  for (const auto& c : cases) {
    const S a = c.a, b = c.b;
    EXPECT_EQ(c.a.intersection(c.b), c.expected) << c.what;
    EXPECT_EQ(c.b.intersection(c.a), c.expected) << c.what << " (swapped)";
    EXPECT_EQ(c.a, a) << c.what << ": operand changed";
    EXPECT_EQ(c.b, b) << c.what << ": operand changed";
  }
}

TEST(DiscreteHashSet, UnionDisjointSubset) {
  EXPECT_EQ(S::listed({1}).union_with(S::listed({2})), S::listed({1, 2}));
  EXPECT_EQ(S::listed({1}).union_with(S::all_except({1, 2})), S::all_except({2}));
  EXPECT_EQ(S::all_except({1}).union_with(S::all_except({2})), S::full());
  EXPECT_TRUE(S::listed({1}).is_disjoint(S::listed({2})));
  EXPECT_FALSE(S::listed({1}).is_disjoint(S::all_except({2})));
  EXPECT_TRUE(S::listed({1}).subset_of(S::all_except({2})));
  EXPECT_FALSE(S::all_except({2}).subset_of(S::listed({1})));
  EXPECT_TRUE(S::empty().subset_of(S::empty()));
}

TEST(DiscreteHashSet, EqualityIgnoresOrderAndRepeats) {
  EXPECT_EQ(S::listed({3, 1, 2}), S::listed({1, 2, 3, 3}));
  EXPECT_NE(S::listed({1}), S::all_except({1}));
  EXPECT_NE(S::empty(), S::full());
}

TEST(DiscreteHashSet, Membership) {
  constexpr auto kMax = std::numeric_limits<std::uint64_t>::max();
  struct {
    S set;
    std::uint64_t n;
    bool in;
  } cases[] = {
      {S::empty(), 0, false}, {S::empty(), kMax, false}, {S::full(), 0, true},        {S::full(), kMax, true},
      {S::listed({3}), 3, true}, {S::listed({3}), 4, false}, {S::all_except({3}), 3, false},
      {S::all_except({3}), 1000, true}, {S::singleton(kMax), kMax, true},
  };
  for (const auto& c : cases) EXPECT_EQ(c.set.contains(c.n), c.in) << c.set.text() << " " << c.n;
}

TEST(DiscreteHashSet, Text) {
  struct {
    S set;
    const char* text;
  } cases[] = {
      {S::empty(), "no valid alternatives"},
      {S::full(), "any alternative"},
      {S::listed({3}), "alternative nr 3"},
      {S::all_except({3}), "any alternative except nr 3"},
      {S::listed({7, 2, 5}), "one of alternatives 2, 5, and 7)"},
      {S::listed({5, 2}), "one of alternatives 2, and 5)"},
      {S::all_except({5, 2}), "any alternative except numbers 2, and 5)"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.set.text(), c.text);
}

}  // namespace
}  // namespace kestro::solve
