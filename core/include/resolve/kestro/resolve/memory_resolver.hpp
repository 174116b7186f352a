// Resolvers that put fixed projects in front of the searching ones: the
// memory resolver answers from a map held in memory, and the priority
// resolver asks a higher resolver first and a lower one only when the higher
// one has nothing.
#pragma once

#include "kestro/resolve/namespace.hpp"

#include <expected>
#include <memory>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "kestro/model/usage_match.hpp"
#include "kestro/resolve/combined_project.hpp"
#include "kestro/resolve/outcome.hpp"

namespace kestro::resolve {

inline constexpr const char* kNotInMemory = "project is not present in this memory resolver";

// The error of a resolver that cannot fail: no value of it exists.
class Infallible {
 public:
  Infallible() = delete;
};

// Projects registered by identifier text (compared byte for byte). A hit
// hands out copies of the stored projects in stored order (a shared handle
// is copied as a handle, never deep), an empty list included; a miss answers
// `NotFound`. Never fails.
template <typename Project>
class MemoryResolver : public Resolver<Project, Infallible> {
 public:
  using Outcome = ResolutionOutcome<Project>;
  using Map = std::unordered_map<std::string, std::vector<Project>>;

  MemoryResolver() = default;
  explicit MemoryResolver(Map projects) : projects_(std::move(projects)) {}

  std::expected<Outcome, Infallible> resolve(const UsageInContext& usage) override { return lookup(usage); }
  Outcome lookup(const UsageInContext& usage) const {
    auto it = projects_.find(usage_identifier(usage.usage));
    if (it == projects_.end()) return Outcome{typename Outcome::NotFound{kNotInMemory}};
    return Outcome::resolved_with(it->second);
  }

  const Map& projects() const { return projects_; }

 private:
  Map projects_;
};

// The candidate of a priority resolver: a project of either side. A lower
// side whose items can be errors gives items that can be errors.
template <typename H, typename L>
struct PriorityItem {
  using type = PriorityProject<H, L>;
  static type higher(H item) { return type(typename type::Higher{std::move(item)}); }
  static type lower(L item) { return type(typename type::Lower{std::move(item)}); }
};
template <typename H, typename L, typename E>
struct PriorityItem<H, std::expected<L, E>> {
  using project = PriorityProject<H, L>;
  using type = std::expected<project, E>;
  static type higher(H item) { return project(typename project::Higher{std::move(item)}); }
  static type lower(std::expected<L, E> item) {
    if (!item) return std::unexpected(std::move(item.error()));
    return project(typename project::Lower{std::move(*item)});
  }
};

// The items of an inner sequence, each converted on the way out.
template <typename From, typename To, typename Convert>
class ConvertedSequence : public ItemSequence<To> {
 public:
  ConvertedSequence(SequencePtr<From> inner, Convert convert) : inner_(std::move(inner)), convert_(convert) {}
  std::optional<To> next() override {
    auto item = inner_->next();
    if (!item) return std::nullopt;
    return convert_(std::move(*item));
  }

 private:
  SequencePtr<From> inner_;
  Convert convert_;
};

// Asks `Higher` first; its `Resolved` is the answer (the lower resolver is
// not asked, even for an empty sequence). Any other answer is logged at
// debug level under `kestro_core::resolve::priority` and the lower
// resolver's answer is returned as it is, its candidates wrapped as `Lower`.
// The error is the lower resolver's; an error of a higher resolver that can
// fail is passed on as one.
template <typename Higher, typename Lower>
class PriorityResolver
    : public Resolver<typename PriorityItem<typename Higher::item_type, typename Lower::item_type>::type,
                      typename Lower::error_type> {
 public:
  using HigherItem = typename Higher::item_type;
  using LowerItem = typename Lower::item_type;
  using Wrap = PriorityItem<HigherItem, LowerItem>;
  using Item = typename Wrap::type;
  using Error = typename Lower::error_type;
  using Outcome = ResolutionOutcome<Item>;

  PriorityResolver(Higher higher, Lower lower) : higher_(std::move(higher)), lower_(std::move(lower)) {}

  std::expected<Outcome, Error> resolve(const UsageInContext& usage) override {
    auto first = higher_.resolve(usage);
    if (!first) {
      if constexpr (std::is_same_v<typename Higher::error_type, Infallible>) internal_error("an infallible resolver failed");
      else return std::unexpected(Error(std::move(first.error())));
    }
    if (auto* found = std::get_if<typename ResolutionOutcome<HigherItem>::Resolved>(&first->value)) {
      auto wrap = [](HigherItem project) -> Item { return Wrap::higher(std::move(project)); };
      return Outcome{typename Outcome::Resolved{std::make_unique<ConvertedSequence<HigherItem, Item, decltype(wrap)>>(
          std::move(found->candidates), wrap)}};
    }
    log_outcome(OutcomeConsumer::Priority, usage, *first);
    auto second = lower_.resolve(usage);
    if (!second) return std::unexpected(std::move(second.error()));
    return std::visit(
        [](auto& answer) -> Outcome {
          using A = std::decay_t<decltype(answer)>;
          if constexpr (std::is_same_v<A, typename ResolutionOutcome<LowerItem>::Resolved>) {
            auto wrap = [](LowerItem item) -> Item { return Wrap::lower(std::move(item)); };
            return Outcome{typename Outcome::Resolved{
                std::make_unique<ConvertedSequence<LowerItem, Item, decltype(wrap)>>(std::move(answer.candidates), wrap)}};
          } else if constexpr (std::is_same_v<A, typename ResolutionOutcome<LowerItem>::UnsupportedUsageType>) {
            return Outcome{typename Outcome::UnsupportedUsageType{std::move(answer.reason)}};
          } else if constexpr (std::is_same_v<A, typename ResolutionOutcome<LowerItem>::NotFound>) {
            return Outcome{typename Outcome::NotFound{std::move(answer.reason)}};
          } else {
            return Outcome{typename Outcome::Unresolvable{std::move(answer.reason)}};
          }
        },
        second->value);
  }

  const Higher& higher() const { return higher_; }
  const Lower& lower() const { return lower_; }

 private:
  Higher higher_;
  Lower lower_;
};

}  // namespace kestro::resolve
