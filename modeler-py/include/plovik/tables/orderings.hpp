// The fixed orders that make planned file names, note details and model
// digests reproducible. Each compares two records; callers sort with a stable
// sort. Text comparisons are byte-wise over UTF-8 (code-point order).
#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "kestro/modeler/lower_case.hpp"

namespace plovik::tables {

// One grid view of one enumeration, as the file-name planner sees it.
struct NamePlanEntry {
  std::string stem;
  std::string base_file_name;
  std::string label;
  std::string_view kind_word;
  std::string_view path;
  std::uint64_t position = 0;
};

struct ContentionMember {
  std::string label;
  std::string file_name;
  std::uint64_t position = 0;
};

// Two or more views whose planned names reduce to one name.
struct ContentionGroup {
  std::vector<ContentionMember> members;
};

struct LabelPair {
  std::string row_label;
  std::string column_label;
};

struct ElementMention {
  std::string label;
  std::string qualified_name;
  std::string class_name;
};

using kestro::modeler::full_lower_case;

std::strong_ordering name_plan_order(const NamePlanEntry& a, const NamePlanEntry& b);
std::strong_ordering contention_group_order(const ContentionGroup& a, const ContentionGroup& b);
std::strong_ordering label_pair_order(const LabelPair& a, const LabelPair& b);
std::strong_ordering qualified_name_order(const ElementMention& a, const ElementMention& b);
// Component by component: root < "." (leading only) < ".." < names, names
// byte-wise; empty and inner "." pieces do not count.
std::strong_ordering path_order(std::string_view a, std::string_view b);

}  // namespace plovik::tables
