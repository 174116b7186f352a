#include "plovik/tables/orderings.hpp"

#include <algorithm>

namespace plovik::tables {

namespace {

// Byte-wise: std::string_view compares chars through char_traits<char>, whose
// compare is unsigned (memcmp) for the ordering of bytes.
std::strong_ordering bytes(std::string_view a, std::string_view b) { return a.compare(b) <=> 0; }

enum class ComponentKind : std::uint8_t { Root, Current, Parent, Name };

struct Component {
  ComponentKind kind;
  std::string_view name;
};

std::vector<Component> components(std::string_view path) {
  std::vector<Component> result;
  std::size_t start = 0;
  if (path.starts_with('/')) {
    result.push_back({ComponentKind::Root, {}});
    start = 1;
  }
  bool first = result.empty();
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    std::string_view piece = path.substr(start, end - start);
    if (piece == ".") {
      if (first) result.push_back({ComponentKind::Current, {}});
    } else if (piece == "..") {
      result.push_back({ComponentKind::Parent, {}});
    } else if (!piece.empty()) {
      result.push_back({ComponentKind::Name, piece});
    }
    if (!piece.empty()) first = false;
    start = end + 1;
  }
  return result;
}

}  // namespace

std::strong_ordering name_plan_order(const NamePlanEntry& a, const NamePlanEntry& b) {
  if (auto c = bytes(full_lower_case(a.base_file_name), full_lower_case(b.base_file_name)); c != 0) return c;
  if (auto c = bytes(a.base_file_name, b.base_file_name); c != 0) return c;
  if (auto c = bytes(a.path, b.path); c != 0) return c;
  return a.position <=> b.position;
}

std::strong_ordering contention_group_order(const ContentionGroup& a, const ContentionGroup& b) {
  std::uint64_t first_a = a.members.empty() ? 0 : a.members.front().position;
  std::uint64_t first_b = b.members.empty() ? 0 : b.members.front().position;
  return first_a <=> first_b;
}

std::strong_ordering label_pair_order(const LabelPair& a, const LabelPair& b) {
  if (auto c = bytes(a.row_label, b.row_label); c != 0) return c;
  return bytes(a.column_label, b.column_label);
}

std::strong_ordering qualified_name_order(const ElementMention& a, const ElementMention& b) {
  return bytes(a.qualified_name, b.qualified_name);
}

std::strong_ordering path_order(std::string_view a, std::string_view b) {
  auto left = components(a);
  auto right = components(b);
  std::size_t common = std::min(left.size(), right.size());
  for (std::size_t i = 0; i < common; ++i) {
    if (auto c = left[i].kind <=> right[i].kind; c != 0) return c;
    if (left[i].kind == ComponentKind::Name) {
      if (auto c = bytes(left[i].name, right[i].name); c != 0) return c;
    }
  }
  return left.size() <=> right.size();
}

}  // namespace plovik::tables
