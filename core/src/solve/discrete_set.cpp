#include "kestro/solve/discrete_set.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <iterator>

namespace kestro::solve {

namespace {

std::vector<std::uint64_t> sorted_unique(std::vector<std::uint64_t> numbers) {
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
  return numbers;
}

using Numbers = std::vector<std::uint64_t>;

// Both operands sorted; the smaller is walked and looked up in the larger,
// so a small set against a large one costs one search per number.
Numbers common(const Numbers& a, const Numbers& b) {
  const Numbers& walk = a.size() <= b.size() ? a : b;
  const Numbers& look = a.size() <= b.size() ? b : a;
  Numbers out;
  if (look.empty()) return out;
  for (auto n : walk)
    if (std::binary_search(look.begin(), look.end(), n)) out.push_back(n);
  return out;
}

Numbers minus(const Numbers& a, const Numbers& b) {
  Numbers out;
  std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
  return out;
}

Numbers either(const Numbers& a, const Numbers& b) {
  Numbers out;
  out.reserve(std::max(a.size(), b.size()));
  std::set_union(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
  return out;
}

// "2, 5, and 7)": ", " between numbers, "and " before the last, then ")".
std::string number_list(const Numbers& numbers) {
  std::string out = fmt::format("{}", numbers.front());
  for (size_t i = 1; i < numbers.size(); ++i)
    out += fmt::format(fmt::runtime(i + 1 == numbers.size() ? ", and {}" : ", {}"), numbers[i]);
  return out + ")";
}

}  // namespace

DiscreteHashSet DiscreteHashSet::listed(std::vector<std::uint64_t> numbers) {
  return DiscreteHashSet(Form::Listed, sorted_unique(std::move(numbers)));
}
DiscreteHashSet DiscreteHashSet::all_except(std::vector<std::uint64_t> numbers) {
  return DiscreteHashSet(Form::AllExcept, sorted_unique(std::move(numbers)));
}

DiscreteHashSet DiscreteHashSet::complement() const {
  return DiscreteHashSet(form_ == Form::Listed ? Form::AllExcept : Form::Listed, numbers_);
}

DiscreteHashSet DiscreteHashSet::intersection(const DiscreteHashSet& other) const {
  if (form_ == Form::Listed && other.form_ == Form::Listed)
    return DiscreteHashSet(Form::Listed, common(numbers_, other.numbers_));
  if (form_ == Form::Listed) return DiscreteHashSet(Form::Listed, minus(numbers_, other.numbers_));
  if (other.form_ == Form::Listed) return DiscreteHashSet(Form::Listed, minus(other.numbers_, numbers_));
  return DiscreteHashSet(Form::AllExcept, either(numbers_, other.numbers_));
}

DiscreteHashSet DiscreteHashSet::union_with(const DiscreteHashSet& other) const {
  return complement().intersection(other.complement()).complement();
}

bool DiscreteHashSet::contains(std::uint64_t n) const {
  bool listed = !numbers_.empty() && std::binary_search(numbers_.begin(), numbers_.end(), n);
  return form_ == Form::Listed ? listed : !listed;
}

std::string DiscreteHashSet::text() const {
  const bool all = form_ == Form::AllExcept;
  switch (numbers_.size()) {
    case 0:
      return all ? "any alternative" : "no valid alternatives";
    case 1:
      return fmt::format(fmt::runtime(all ? "any alternative except nr {}" : "alternative nr {}"), numbers_.front());
    default:
      return (all ? "any alternative except numbers " : "one of alternatives ") + number_list(numbers_);
  }
}

}  // namespace kestro::solve
