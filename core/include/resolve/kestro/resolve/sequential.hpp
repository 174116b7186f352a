// A resolver over a list of resolvers of one kind (one per configured
// index, for example): every inner resolver answers, the first error in list
// order wins, and the found candidates are merged in list order.
#pragma once

#include "kestro/resolve/namespace.hpp"

#include <deque>
#include <memory>
#include <vector>

#include "kestro/resolve/outcome.hpp"

namespace kestro::resolve {

// The inner sequences one after the other, each dropped once used up.
template <typename T>
class MergedSequence : public ItemSequence<T> {
 public:
  explicit MergedSequence(std::deque<SequencePtr<T>> inner) : inner_(std::move(inner)) {}
  std::optional<T> next() override {
    while (!inner_.empty()) {
      if (auto item = inner_.front()->next()) return item;
      inner_.pop_front();
    }
    return std::nullopt;
  }

 private:
  std::deque<SequencePtr<T>> inner_;
};

template <typename T, typename E>
class SequentialResolver : public Resolver<T, E> {
 public:
  using Inner = std::unique_ptr<Resolver<T, E>>;
  explicit SequentialResolver(std::vector<Inner> resolvers) : resolvers_(std::move(resolvers)) {}

  // Asks every inner resolver before looking at any answer, so that no
  // inner resolution is skipped because another failed.
  std::expected<ResolutionOutcome<T>, E> resolve(const UsageInContext& usage) override {
    using Outcome = ResolutionOutcome<T>;
    std::vector<std::expected<Outcome, E>> results;
    results.reserve(resolvers_.size());
    for (const Inner& r : resolvers_) results.push_back(r->resolve(usage));

    std::deque<SequencePtr<T>> sequences;
    std::vector<std::string> reasons;
    bool applies = false;
    for (auto& result : results) {
      if (!result) return std::unexpected(std::move(result.error()));
      if (auto* found = std::get_if<typename Outcome::Resolved>(&result->value)) {
        sequences.push_back(std::move(found->candidates));
        applies = true;
        continue;
      }
      reasons.push_back(*result->reason());
      if (!std::holds_alternative<typename Outcome::UnsupportedUsageType>(result->value)) applies = true;
    }
    if (!sequences.empty())
      return Outcome{typename Outcome::Resolved{std::make_unique<MergedSequence<T>>(std::move(sequences))}};
    std::string merged = render_reasons(reasons);
    if (applies) return Outcome{typename Outcome::Unresolvable{std::move(merged)}};
    return Outcome{typename Outcome::UnsupportedUsageType{std::move(merged)}};
  }

  const std::vector<Inner>& resolvers() const { return resolvers_; }

 private:
  std::vector<Inner> resolvers_;
};

}  // namespace kestro::resolve
