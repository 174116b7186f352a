#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kestro/utils/ordered_map.hpp"

namespace kestro {
namespace {

// Random inserts, replacements, erasures, reversals and removals from the
// end against a plain reference: the order of the entries, the last value of
// each key, lookups of present and absent keys, across the growth of the
// hash table.
TEST(OrderedMap, MatchesAReference) {
  std::mt19937 rng(7);
  OrderedMap<int> map;
  std::vector<std::pair<std::string, int>> reference;
  auto at = [&](const std::string& key) {
    for (size_t i = 0; i < reference.size(); ++i)
      if (reference[i].first == key) return i;
    return reference.size();
  };
  for (int step = 0; step < 4000; ++step) {
    std::string key = "k" + std::to_string(rng() % 700);
    const unsigned op = rng() % 100;
    if (op == 0) {
      map.reverse();
      std::reverse(reference.begin(), reference.end());
    } else if (op < 4) {
      auto last = map.pop_back();
      ASSERT_EQ(last.has_value(), !reference.empty());
      if (last) {
        EXPECT_EQ(*last, reference.back());
        reference.pop_back();
      }
    } else if (rng() % 5 == 0) {
      const size_t i = at(key);
      EXPECT_EQ(map.erase(key), i < reference.size());
      if (i < reference.size()) reference.erase(reference.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      map.insert_or_assign(key, step);
      const size_t i = at(key);
      if (i < reference.size()) reference[i].second = step;
      else reference.emplace_back(key, step);
    }
  }
  ASSERT_EQ(map.entries(), reference);
  for (int k = 0; k < 800; ++k) {
    std::string key = "k" + std::to_string(k);
    const size_t i = at(key);
    const int* found = map.find(key);
    ASSERT_EQ(found != nullptr, i < reference.size()) << key;
    if (found) {
      EXPECT_EQ(*found, reference[i].second) << key;
    }
  }
  OrderedMap<int> copy = map;
  copy.insert_or_assign("fresh", 1);
  EXPECT_TRUE(copy.contains("fresh"));
  EXPECT_FALSE(map.contains("fresh"));
  EXPECT_FALSE(OrderedMap<int>().contains(""));
}

}  // namespace
}  // namespace kestro
