// The solver's version set: a set of candidate numbers, either exactly the
// listed numbers or every number except the listed ones. The numbers are
// kept sorted, so every operation and the text are deterministic.
#pragma once

#include "kestro/solve/namespace.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace kestro::solve {

class DiscreteHashSet {
 public:
  enum class Form { Listed, AllExcept };

  // Nothing listed: the empty set.
  DiscreteHashSet() = default;
  static DiscreteHashSet empty() { return {}; }
  static DiscreteHashSet full() { return empty().complement(); }
  static DiscreteHashSet singleton(std::uint64_t n) { return DiscreteHashSet(Form::Listed, {n}); }
  // Numbers in any order, repeats allowed.
  static DiscreteHashSet listed(std::vector<std::uint64_t> numbers);
  static DiscreteHashSet all_except(std::vector<std::uint64_t> numbers);

  Form form() const { return form_; }
  // Ascending.
  const std::vector<std::uint64_t>& numbers() const { return numbers_; }

  DiscreteHashSet complement() const;
  DiscreteHashSet intersection(const DiscreteHashSet& other) const;
  // The complement of the intersection of the complements.
  DiscreteHashSet union_with(const DiscreteHashSet& other) const;
  bool contains(std::uint64_t n) const;
  bool is_disjoint(const DiscreteHashSet& other) const { return intersection(other) == empty(); }
  bool subset_of(const DiscreteHashSet& other) const { return intersection(other) == *this; }

  // "no valid alternatives", "alternative nr 3", "one of alternatives 2, 5,
  // and 7)" (the closing parenthesis has no partner), "any alternative",
  // "any alternative except nr 3", "any alternative except numbers 2, and 5)".
  std::string text() const;

  friend bool operator==(const DiscreteHashSet&, const DiscreteHashSet&) = default;

 private:
  DiscreteHashSet(Form form, std::vector<std::uint64_t> sorted) : form_(form), numbers_(std::move(sorted)) {}
  Form form_ = Form::Listed;
  std::vector<std::uint64_t> numbers_;
};

}  // namespace kestro::solve
